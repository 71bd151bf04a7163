// Start-up: everything the demo needs, made on the freshly built window's GL
// context, in a fixed order, and stored in DemoState.
//
// It runs once per pass (again after every fullscreen toggle) and writes
// the start-up's and the GL entry points' parts of DemoState. The sound of
// the previous pass is released first, so only one pass's music ever plays;
// shader objects and textures die with the previous context (the texture
// cache knows which context its names belong to). A sound file
// that cannot be played is reported, naming the file, and the demo does not
// start: the timeline waits on the music's positions and would otherwise
// wait forever; so would a wave shorter than the timeline plays it or a
// module without the orders it jumps to. A module cut short plays (what is
// missing is silence) after a notice saying so. The scenes make their own
// programs and textures and say what they cannot make: the lens scene goes
// on without what failed, the polyhedra scene's set-up fails the start-up.
#include "app/notice.h"
#include "app/shell.h"
#include "app/sound/sound.h"
#include "demo/demo_state.h"
#include "demo/module_check.h"
#include "demo/sequencer.h"
#include "scenes/lens/lens_scene.h"
#include "scenes/polyhedra/polyhedra_scene.h"
#include "scenes/scene_gl.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const modulePath = "data/orbita.s3m";
const char* const firstStreamPath = "data/1.wav";
const char* const secondStreamPath = "data/2.wav";

// Why a sound file gave no channel: the system's word when it cannot be
// read at all, otherwise that its contents are not what the demo plays.
std::string whyNotLoaded(const char* path, const char* kind) {
    struct stat info;
    if (stat(path, &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return std::strerror(errno);
    std::fclose(file);
    return std::string("not a playable ") + kind;
}

// Why a loaded sound file cannot carry the timeline to its end, or "": a
// wave that ends before the byte the timeline waits for, a module without
// the orders it jumps to and waits for. Either would hold the timeline for
// ever.
std::string whyTooShort(sound::Channel channel, bool isModule, std::uint64_t needed) {
    std::uint64_t length = sound::operations().length(channel);
    if (isModule) {
        if (length > needed) return "";
        return "it has " + std::to_string(length) + " orders, and the demo plays it up to order " +
               std::to_string(needed);
    }
    if (length >= needed) return "";
    return "it holds " + std::to_string(length) +
           " bytes of sound, and the demo plays it up to byte " + std::to_string(needed) +
           " (is the file cut short?)";
}

// One notice naming every sound file that gave no channel or cannot be
// played as far as the timeline goes. Returns false when there was one.
bool soundFilesPlayable() {
    struct Source {
        sound::Channel channel;
        const char* path;
        const char* kind;
        bool isModule;
        std::uint64_t needed;
    };
    const Source sources[] = {
        {demo.startup.moduleHandle, modulePath, "S3M module", true, kLensSceneLastOrder},
        {demo.startup.firstStream, firstStreamPath, "WAV file", false, kFirstStreamEnd},
        {demo.startup.secondStream, secondStreamPath, "WAV file", false, kSecondStreamEnd}};
    std::string text;
    for (const Source& source : sources) {
        std::string line;
        if (source.channel == 0) {
            line = std::string("Cannot load ") + source.path + ": " +
                   whyNotLoaded(source.path, source.kind);
        } else {
            std::string why = whyTooShort(source.channel, source.isModule, source.needed);
            if (!why.empty()) line = std::string("Cannot play ") + source.path + ": " + why;
        }
        if (line.empty()) continue;
        if (!text.empty()) text += '\n';
        text += line;
    }
    if (text.empty()) return true;
    platform::showNotice(text.c_str());
    return false;
}

// One notice per reason: a fullscreen toggle opens the device again and
// would otherwise put the same box up on every pass.
void saySoundIsOff(const char* reason) {
    static std::string said;
    if (!reason || said == reason) return;
    said = reason;
    platform::showNotice((std::string("The sound is off: ") + reason).c_str());
}

}  // namespace

int initialize(AppWindow* appWindow, KeyTable* keyTable) {
    // The thread keeps the priority the program was started with. It mixes
    // and queues the sound once a frame, so any lowering starves the sound
    // as soon as the machine is busy; and a thread's nice value cannot be
    // raised again without privilege, while the sound device's own thread,
    // made anew on every pass, inherits it. The demo gives the desktop its
    // time by waiting for the display's refresh instead.

    // Sound. Releasing the previous pass's channels first keeps its music
    // from playing on under the new pass's (harmless on the first pass).
    // Without a sound device the layer keeps time silently, so the music's
    // positions still move and the timeline still runs: said once, not a
    // reason to stop.
    const sound::Operations& audio = sound::operations();
    StartupHandles& made = demo.startup;
    audio.shutdown();
    if (audio.init(appWindow->window, 44100) == 0) saySoundIsOff(audio.lastError());
    audio.setUpdatePeriod(0);  // playback advances only in the frame's update
    // Half a second queued ahead: a frame that takes long (a new scene's
    // first, llvmpipe compiling its shaders; a busy machine) must not let the
    // queue run dry. Costs nothing else: a start, stop or jump is heard at
    // once however much is queued, and positions are what is heard.
    audio.setBufferLength(500);
    made.moduleHandle = audio.loadModule(modulePath);
    made.firstStream = audio.createStream(firstStreamPath);
    made.secondStream = audio.createStream(secondStreamPath);
    if (!soundFilesPlayable()) return 0;
    // A module cut short still plays (what is missing is silence) and keeps
    // the timeline's time: said, not fatal.
    const std::string cutShort = s3mCutShort(modulePath);
    if (!cutShort.empty()) platform::showNotice(cutShort.c_str());

    made.appWindow = appWindow;
    made.keyTable = keyTable;

    // What both scenes draw with: the multitexture entry points (the
    // polyhedra scene's set-up insists on both), then the shader context and
    // profiles, before the scenes' programs are made in them.
    prepareSceneGl();
    createLensPrograms();
    createLensSceneTextures();
    // The scene's set-up has said on stdout what it could not do.
    if (!initPolyhedraScene() || !loadPolyhedraScene()) return 0;

    // Last, so the sound is ready the moment the timeline starts it.
    audio.prebuffer(made.moduleHandle);
    audio.prebuffer(made.firstStream);
    audio.prebuffer(made.secondStream);
    return 1;
}
