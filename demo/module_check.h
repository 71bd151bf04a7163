// A look inside the demo's module file for what libopenmpt does not report:
// an S3M file cut short. libopenmpt plays such a file without a word (the
// samples and patterns past the end become silence and empty rows), so the
// start-up checks the file's own pointers and says what is missing.
//
// Reads the file itself; keeps nothing. Runs on the main thread at start-up.
#pragma once

#include <string>

// What of the Scream Tracker 3 module `path` lies past the end of the file,
// as a sentence naming the file; "" when nothing does, when the file is not
// an S3M module or cannot be read (its loader says so then).
std::string s3mCutShort(const char* path);
