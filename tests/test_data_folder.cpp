// Finding the data from anywhere: the working folder's data/ first, else
// the copy installed with the program (share/orbita/data beside its bin/
// folder), else one notice that names both places and status 1.
//
// The helper is checked on scratch folders; the programs themselves are
// copied into a scratch installation (bin/ with or without share/orbita/data
// beside it), since they find their installation from where their file
// lies. The program's notice before any window is checked on the suite's
// own headless display, which has no window manager: it must go to stderr,
// where a box would wait for ever for a click.
#include "app/data_folder.h"
#include "demo/data_files.h"

#include "support/programs.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The working folder is process-wide: each case puts it back.
struct KeepWorkingFolder {
    fs::path saved = fs::current_path();
    ~KeepWorkingFolder() { fs::current_path(saved); }
};

// A scratch installation: bin/ holding copies of the built programs under
// their installed names, `elsewhere/` an unrelated folder to start them in,
// and the repository's data beside bin/ when asked.
struct Installation {
    ScratchDirectory scratch;
    std::string bin, elsewhere, shared;
    explicit Installation(bool withData) {
        bin = scratch.path + "/bin";
        elsewhere = scratch.path + "/elsewhere";
        shared = scratch.path + "/share/orbita";
        fs::create_directories(bin);
        fs::create_directories(elsewhere);
        fs::create_directories(shared);
        fs::copy_file(builtProgram("demo"), bin + "/orbita");
        fs::copy_file(builtProgram("tools/capture/demo-capture"), bin + "/orbita-capture");
        if (withData) fs::create_directory_symlink(fs::absolute("data"), shared + "/data");
    }
};

// Whether a window named `name` exists anywhere on the display.
bool windowNamed(Display* display, Window window, const std::string& name) {
    XTextProperty property;
    bool found = false;
    if (XGetWMName(display, window, &property) && property.value) {
        found = name == std::string(reinterpret_cast<const char*>(property.value), property.nitems);
        XFree(property.value);
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!found && XQueryTree(display, window, &root, &parent, &children, &count))
        for (unsigned i = 0; i < count && !found; ++i) found = windowNamed(display, children[i], name);
    if (children) XFree(children);
    return found;
}

// Windows come and go while the tree is walked.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

fs::path sourceData() {
    const char* source = std::getenv("DEMO_SOURCE_DIR");
    return fs::path(source ? source : ".") / "data";
}

const std::vector<std::string> solids = {"tetrahed", "hexahed", "octahed", "dodecahed", "icosahed"};

}  // namespace

TEST(DataFolder, StaysWhereTheWorkingFolderHasOurDataElseMovesIntoTheInstalledOne) {
    KeepWorkingFolder keep;
    ScratchDirectory scratch;
    const std::string here = scratch.path + "/here", installed = scratch.path + "/installed";
    const std::vector<std::string> ours = {"song.s3m", "picture.bmp"};
    fs::create_directories(here + "/data");
    fs::create_directories(installed + "/data");
    std::ofstream(installed + "/data/marker") << "installed";
    std::string notice;

    // A copy of ours with a file missing is still ours: the loaders name
    // what is missing.
    std::ofstream(here + "/data/picture.bmp") << "ours";
    fs::current_path(here);
    EXPECT_TRUE(platform::enterDataFolder("data", ours, installed, notice));
    EXPECT_EQ(fs::current_path(), fs::path(here)) << "a working folder with our data/ is kept";

    // A data/ of someone else's (a user's ~/data): the installed one.
    fs::remove(here + "/data/picture.bmp");
    std::ofstream(here + "/data/holiday.jpg") << "theirs";
    EXPECT_TRUE(platform::enterDataFolder("data", ours, installed, notice));
    EXPECT_EQ(fs::current_path(), fs::path(installed));
    EXPECT_EQ(readText("data/marker"), "installed");

    // No data/ here (a file of that name is no folder): the installed one,
    // by the same relative paths.
    fs::current_path(here);
    fs::remove_all(here + "/data");
    std::ofstream(here + "/data") << "not a folder";
    EXPECT_TRUE(platform::enterDataFolder("data", ours, installed, notice));
    EXPECT_EQ(fs::current_path(), fs::path(installed));
    EXPECT_TRUE(notice.empty()) << notice;
}

TEST(DataFolder, NeitherPlaceHasItTheNoticeNamesBothAndNothingMoves) {
    KeepWorkingFolder keep;
    ScratchDirectory scratch;
    const std::string here = scratch.path + "/here", installed = scratch.path + "/installed";
    fs::create_directories(here);
    fs::create_directories(installed);
    fs::current_path(here);
    std::string notice;
    EXPECT_FALSE(platform::enterDataFolder("data", {"song.s3m"}, installed, notice));
    EXPECT_EQ(fs::current_path(), fs::path(here));
    EXPECT_EQ(notice, "Cannot find the program's data: there is no data folder in " + here +
                          " (the working folder) nor in " + installed + " (where the program was installed)");

    // A data/ that is not ours is said as such.
    fs::create_directories(here + "/data");
    EXPECT_FALSE(platform::enterDataFolder("data", {"song.s3m"}, installed, notice));
    EXPECT_EQ(notice, "Cannot find the program's data: the data folder in " + here +
                          " (the working folder) holds none of its files, and there is none in " + installed +
                          " (where the program was installed)");

    // Where the program lies cannot be told: said so, not an empty name.
    EXPECT_FALSE(platform::enterDataFolder("data", {"song.s3m"}, "", notice));
    EXPECT_NE(notice.find("cannot be told"), std::string::npos) << notice;
}

// The list the entries look for is exactly what data/ holds.
TEST(DataFolder, TheDemosListNamesEveryDataFile) {
    std::vector<std::string> present;
    for (const auto& entry : fs::directory_iterator(sourceData())) present.push_back(entry.path().filename().string());
    std::vector<std::string> listed = demoDataFiles();
    std::sort(present.begin(), present.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, present);
}

TEST(DataFolder, TheInstalledFolderIsTakenFromWhereTheExecutableLies) {
    // The test program is build/tests/test_data_folder.
    const fs::path folder = fs::canonical("/proc/self/exe").parent_path();
    EXPECT_EQ(platform::besideExecutable("../share/orbita"), (folder.parent_path() / "share/orbita").string());
    EXPECT_EQ(platform::besideExecutable("."), folder.string());
}

TEST(InstalledPrograms, WithoutDataAnywhereTheProgramSaysSoOnStderrUnderABareDisplayAndEndsWith1) {
    Installation installation(false);
    const std::string log = installation.scratch.path + "/orbita.log";
    // The program's own choice of where notices go: nothing forces stderr.
    Background program({installation.bin + "/orbita"}, {"DEMO_NOTICE="}, log, installation.elsewhere);
    const int status = program.wait(60.0);
    const std::string said = readText(log);
    ASSERT_EQ(status, 1) << "no end within a minute: a message box nobody can dismiss? " << said;
    EXPECT_EQ(said, "Error: Cannot find the program's data: there is no data folder in " + installation.elsewhere +
                        " (the working folder) nor in " + installation.shared +
                        " (where the program was installed)\n");
}

TEST(InstalledPrograms, StartedElsewhereTheProgramPlaysOnTheInstalledDataAndPrintsTheSamePaths) {
    Installation installation(true);
    const std::string log = installation.scratch.path + "/orbita.log";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no display (the suite runs under xvfb-run)";
    XSetErrorHandler(ignoreXError);
    // Started where a data/ of the user's own lies (the menu starts it in
    // the home folder, where ~/data is common).
    fs::create_directories(installation.elsewhere + "/data");
    std::ofstream(installation.elsewhere + "/data/holiday.jpg") << "not the demo's";
    Background program({installation.bin + "/orbita"}, {}, log, installation.elsewhere);
    const bool shown = waitFor(
        60.0, [&] { return windowNamed(display, DefaultRootWindow(display), "Kova's New GL Framework"); });
    XCloseDisplay(display);
    ASSERT_TRUE(shown) << "no window within a minute: " << readText(log);
    // Its output is buffered until it ends: a moment of the timeline, then
    // asked to end as a session would.
    sleepSeconds(2.0);
    EXPECT_EQ(program.stop(SIGTERM, 30.0), 0);
    const std::string said = readText(log);
    for (const std::string& solid : solids)
        EXPECT_EQ(countOf(said, "opening data/" + solid + ".txt\n"), 1) << solid << " in:\n" << said;
    for (const char* failure : {"Cannot", "cannot", "not found", "error", "Failed to"})
        EXPECT_EQ(said.find(failure), std::string::npos) << failure << " in:\n" << said;
    EXPECT_EQ(std::distance(fs::directory_iterator(installation.elsewhere), fs::directory_iterator()), 1)
        << "the program wrote into the folder it was started in";
}

TEST(InstalledPrograms, TheCaptureToolFindsTheDataTheSameWayAndItsChdirStillWins) {
    Installation empty(false);
    CommandResult run = runCommand("cd '" + empty.elsewhere + "' && '" + empty.bin + "/orbita-capture' 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "demo-capture: notice: Cannot find the program's data: there is no data folder in " +
                           empty.elsewhere + " (the working folder) nor in " + empty.shared +
                           " (where the program was installed)\n");

    Installation installed(true);
    run = runCommand("cd '" + installed.elsewhere + "' && '" + installed.bin +
                     "/orbita-capture' --size 64x48 --max-frames 2 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(countOf(run.out, "opening data/"), 5) << run.out;
    EXPECT_NE(run.out.find("end frame 2 "), std::string::npos) << run.out;

    // Told where to run, it runs there: no data there is no data, though an
    // installed copy exists.
    run = runCommand("'" + installed.bin + "/orbita-capture' --chdir '" + installed.elsewhere +
                     "' --size 64x48 --max-frames 2 2>&1");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("Cannot load data/orbita.s3m: No such file or directory"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Cannot find the program's data"), std::string::npos) << run.out;
}
