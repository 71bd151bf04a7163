// The Debian package as CPack makes it from this build (the Package.Build
// test puts it in package-test/ of the build folder): its name and fields,
// exactly the files it should hold, what lintian says of it, its menu entry
// and manual pages, and the capture tool run from the unpacked tree in a
// folder that has nothing to do with it, where it must find every data file
// from where it lies.
#include "support/programs.h"
#include "support/servers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string sourceDir() {
    const char* dir = std::getenv("DEMO_SOURCE_DIR");
    return dir ? dir : ".";
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string shellQuoted(const std::string& text) { return "'" + text + "'"; }

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The package Package.Build made; empty when there is not exactly one.
std::string packageFile() {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(builtProgram("package-test"), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("orbita_", 0) == 0 && entry.path().extension() == ".deb") found.push_back(entry.path());
    }
    return found.size() == 1 ? found[0] : "";
}

std::string field(const std::string& package, const std::string& name) {
    return trimmed(runCommand("dpkg-deb -f " + shellQuoted(package) + " " + name).out);
}

// The package's files unpacked under a scratch folder, as dpkg would put
// them under /.
struct Unpacked {
    ScratchDirectory scratch;
    std::string root;
    bool ok = false;
    explicit Unpacked(const std::string& package) : root(scratch.path + "/root") {
        ok = !package.empty() && runCommand("dpkg-deb -x " + shellQuoted(package) + " " + shellQuoted(root)).status == 0;
    }
};

#define REQUIRE_PACKAGE(package)                                                             \
    const std::string package = packageFile();                                               \
    ASSERT_FALSE(package.empty()) << "no single orbita_*.deb in " << builtProgram("package-test") \
                                  << " (the Package.Build test makes it)"

}  // namespace

TEST(Package, FileNameFieldsAndComputedDependencies) {
    REQUIRE_PACKAGE(package);
    const std::string version = field(package, "Version");
    EXPECT_EQ(fs::path(package).filename().string(),
              "orbita_" + version + "_" + field(package, "Architecture") + ".deb");
    EXPECT_EQ(field(package, "Package"), "orbita");
    EXPECT_EQ(field(package, "Section"), "games");
    // A synopsis and a long description below it.
    const std::string description = field(package, "Description");
    EXPECT_GE(countOf(description, "\n"), 5) << description;
    // Computed: the libraries the programs link, with the versions their
    // symbols need; libgl1, which SDL opens itself, named.
    const std::string depends = field(package, "Depends");
    for (const char* library : {"libc6 (>=", "libsdl2-2.0-0 (>=", "libopenmpt0 (>=", "libepoxy0", "libpng16-16",
                                "libgl1"})
        EXPECT_TRUE(contains(depends, library)) << library << " is not in: " << depends;

    // The changelog's top entry is the package's version.
    Unpacked unpacked(package);
    ASSERT_TRUE(unpacked.ok);
    const std::string changelog =
        runCommand("zcat " + shellQuoted(unpacked.root + "/usr/share/doc/orbita/changelog.gz")).out;
    EXPECT_EQ(changelog.rfind("orbita (" + version + ") ", 0), 0u) << changelog;
}

TEST(Package, HoldsTheProgramsTheirDataTheMenuEntryAndTheirDocumentsOnly) {
    REQUIRE_PACKAGE(package);
    Unpacked unpacked(package);
    ASSERT_TRUE(unpacked.ok);
    std::vector<std::string> expected = {
        "usr/bin/orbita",
        "usr/bin/orbita-capture",
        "usr/share/applications/orbita.desktop",
        "usr/share/doc/orbita/changelog.gz",
        "usr/share/doc/orbita/copyright",
        "usr/share/icons/hicolor/256x256/apps/orbita.png",
        "usr/share/lintian/overrides/orbita",
        "usr/share/man/man6/orbita-capture.6.gz",
        "usr/share/man/man6/orbita.6.gz",
    };
    std::vector<std::string> dataFiles;
    for (const auto& entry : fs::directory_iterator(sourceDir() + "/data")) {
        dataFiles.push_back(entry.path().filename().string());
        expected.push_back("usr/share/orbita/data/" + dataFiles.back());
    }
    std::vector<std::string> held;
    for (const auto& entry : fs::recursive_directory_iterator(unpacked.root))
        if (!entry.is_directory()) held.push_back(fs::relative(entry.path(), unpacked.root).string());
    std::sort(expected.begin(), expected.end());
    std::sort(held.begin(), held.end());
    EXPECT_EQ(held, expected);

    for (const std::string& name : dataFiles)
        EXPECT_TRUE(readText(unpacked.root + "/usr/share/orbita/data/" + name) ==
                    readText(sourceDir() + "/data/" + name))
            << name << " differs from data/" << name;
    EXPECT_TRUE(readText(unpacked.root + "/usr/share/icons/hicolor/256x256/apps/orbita.png") ==
                readText(sourceDir() + "/packaging/orbita.png"));
    for (const char* program : {"orbita", "orbita-capture"}) {
        struct stat info {};
        ASSERT_EQ(stat((unpacked.root + "/usr/bin/" + program).c_str(), &info), 0) << program;
        EXPECT_EQ(info.st_mode & 07777, 0755u) << program;
    }
    // The licence in the copyright file is LICENSE's, as Debian writes it.
    const std::string copyright = readText(unpacked.root + "/usr/share/doc/orbita/copyright");
    EXPECT_TRUE(contains(copyright, "License: Expat\n Permission is hereby granted, free of charge,")) << copyright;
    EXPECT_TRUE(contains(copyright, "\n .\n THE SOFTWARE IS PROVIDED \"AS IS\"")) << copyright;
}

TEST(Package, LintianFindsNoErrorsAndNoWarnings) {
    if (!onPath("lintian")) GTEST_SKIP() << "lintian is not installed (scripts/deps installs it)";
    REQUIRE_PACKAGE(package);
    const CommandResult run = runCommand("lintian --fail-on error,warning " + shellQuoted(package) + " 2>&1");
    std::istringstream lines(run.out);
    std::string line, tags;
    while (std::getline(lines, line))
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) tags += line + "\n";
    EXPECT_EQ(tags, "");
    EXPECT_EQ(run.status, 0) << run.out;
}

TEST(Package, TheMenuEntryIsValidAndStartsTheInstalledProgramWithItsIcon) {
    if (!onPath("desktop-file-validate")) GTEST_SKIP() << "desktop-file-utils is not installed (scripts/deps)";
    REQUIRE_PACKAGE(package);
    Unpacked unpacked(package);
    ASSERT_TRUE(unpacked.ok);
    const std::string entry = unpacked.root + "/usr/share/applications/orbita.desktop";
    const CommandResult run = runCommand("desktop-file-validate " + shellQuoted(entry) + " 2>&1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "") << "hints and warnings count too";
    const std::string text = readText(entry);
    EXPECT_TRUE(contains(text, "\nExec=orbita\n")) << text;
    EXPECT_TRUE(fs::exists(unpacked.root + "/usr/bin/orbita"));
    EXPECT_TRUE(contains(text, "\nIcon=orbita\n")) << text;
    EXPECT_TRUE(fs::exists(unpacked.root + "/usr/share/icons/hicolor/256x256/apps/orbita.png"));
}

TEST(Package, TheManualPagesRenderWithoutAWarning) {
    if (!onPath("man")) GTEST_SKIP() << "man-db is not installed (scripts/deps installs it)";
    REQUIRE_PACKAGE(package);
    Unpacked unpacked(package);
    ASSERT_TRUE(unpacked.ok);
    struct Page {
        const char* file;
        std::vector<std::string> headings;
    };
    const Page pages[] = {
        {"orbita.6.gz", {"NAME", "SYNOPSIS", "DESCRIPTION", "KEYS", "ENVIRONMENT", "FILES", "EXIT STATUS"}},
        {"orbita-capture.6.gz", {"NAME", "SYNOPSIS", "OPTIONS", "FILES", "EXIT STATUS"}},
    };
    for (const Page& page : pages) {
        SCOPED_TRACE(page.file);
        const std::string path = unpacked.root + "/usr/share/man/man6/" + page.file;
        const std::string warnings = unpacked.scratch.path + "/warnings";
        const CommandResult run = runCommand("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l " + shellQuoted(path) +
                                             " 2>" + shellQuoted(warnings));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(readText(warnings), "");
        for (const std::string& heading : page.headings)
            EXPECT_TRUE(contains(run.out, "\n" + heading + "\n")) << heading << " missing:\n" << run.out;
    }
}

TEST(Package, TheUnpackedCaptureToolRunsInAnUnrelatedFolderAndFindsEveryDataFile) {
    REQUIRE_PACKAGE(package);
    Unpacked unpacked(package);
    ASSERT_TRUE(unpacked.ok);
    const std::string elsewhere = unpacked.scratch.path + "/xyz";
    fs::create_directories(elsewhere);
    const CommandResult run = runCommand("cd " + shellQuoted(elsewhere) + " && " +
                                         shellQuoted(unpacked.root + "/usr/bin/orbita-capture") +
                                         " --seconds 3 --size 64x48 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    // The loaders of pictures, sounds and programs say only what fails; the
    // solids' loader names each file it opens, by the same relative path.
    for (const char* solid : {"tetrahed", "hexahed", "octahed", "dodecahed", "icosahed"})
        EXPECT_EQ(countOf(run.out, std::string("opening data/") + solid + ".txt\n"), 1) << solid << ":\n" << run.out;
    for (const char* failure : {"notice:", "Cannot", "cannot", "not found", "error", "Failed", "Unsupported"})
        EXPECT_FALSE(contains(run.out, failure)) << failure << " in:\n" << run.out;
    EXPECT_TRUE(contains(run.out, "\nscene 0 frame 0 ")) << run.out;
    EXPECT_TRUE(contains(run.out, "\nend frame 180 time 3.000000\n")) << run.out;
    EXPECT_TRUE(fs::is_empty(elsewhere)) << "the tool wrote into the folder it was started in";
}
