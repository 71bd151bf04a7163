// What a loader has to say about a file, handed back as data.
//
// The loaders in assets/ show and print nothing about the files they are
// given (progress lines aside): a failure, or a warning on a file that still
// loaded, comes back in a LoadReport, and the caller decides whether it
// becomes a notice, a line on stdout or a line on stderr. The caller owns the
// record; a loader clears it on entry and fills it in, or leaves it alone
// when handed null.
#pragma once

#include <string>
#include <utility>

struct LoadReport {
    // The text the user is given, exactly as shown ("" when there is
    // nothing to say); a caller that prints it as a line adds the line end.
    // Whether it is a failure or a warning, the loader's result says.
    std::string message;
    // A further line naming the file and what exactly is wrong, for the log
    // ("" when there is none).
    std::string detail;
};

// Fills `report` when there is one.
inline void reportLoad(LoadReport* report, std::string message, std::string detail = std::string()) {
    if (report) *report = LoadReport{std::move(message), std::move(detail)};
}
