// The polyhedron loader: line pieces and skipped lines, corner groups,
// vertex merging, the lowest vertex, scaling, the progress lines, the "C"
// locale, and the files that end the process (what the loader reports).
#include "assets/polyhedron.h"
#include "test_loader_files.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

struct Read {
    Polyhedron* solid = nullptr;
    std::string output;
    LoadReport report{"stale", "stale"};
};

// readPolyhedron over an in-memory file, with its progress lines and report.
Read readText(const std::string& text) {
    Read read;
    std::FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    read.solid = readPolyhedron(in, "solid.txt", out, &read.report);
    std::fclose(out);
    std::fclose(in);
    read.output.assign(buffer, length);
    std::free(buffer);
    return read;
}

std::string summary(int faces, int vertices, float lowestY, int lowest) {
    char line[200];
    std::snprintf(line, sizeof line, "%d faces, %d vertices, lowest y=%f (vertex %d)\n\n", faces,
                  vertices, static_cast<double>(lowestY), lowest);
    return line;
}

const char* tetrahedron =
    "{1, 1, 1}{-1, -1, 1}{-1, 1, -1}\n"
    "{1, 1, 1}{-1, 1, -1}{1, -1, -1}\n"
    "{1, 1, 1}{1, -1, -1}{-1, -1, 1}\n"
    "{-1, -1, 1}{1, -1, -1}{-1, 1, -1}\n";

}  // namespace

TEST(Polyhedron, TetrahedronFacesVerticesProgressAndScale) {
    Read read = readText(tetrahedron);
    ASSERT_NE(read.solid, nullptr) << read.output;
    Polyhedron& s = *read.solid;
    EXPECT_EQ(s.faceCount, 4);
    EXPECT_EQ(s.vertexCount, 4);
    // (-1, -1, 1) is the first corner with the smallest y; (1, -1, -1) ties.
    EXPECT_EQ(s.lowestVertex, 1);
    const int expected[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 3, 2}};
    for (int f = 0; f < 4; f++) {
        ASSERT_EQ(s.faces[f].count, 3);
        for (int c = 0; c < 3; c++) EXPECT_EQ(s.faces[f].indices[c], expected[f][c]);
    }
    // Scaled from vertex 0 so that the farthest corner is 2 away; the
    // origin stays put, so a tetrahedron's edges end 2 long.
    float factor = 2.0f / std::sqrt(8.0f);
    EXPECT_EQ(s.vertices[1].x, -1.0f * factor);
    EXPECT_FLOAT_EQ(vertexDistance(s.vertices[2], s.vertices[3]), 2.0f);
    EXPECT_EQ(s.collisionElapsed, 0.0);
    EXPECT_EQ(s.rising, 0);
    EXPECT_EQ(s.lastCollision, 0.0f);
    EXPECT_EQ(s.actualTime, 0.0f);
    EXPECT_EQ(read.output, "face 1 p1=0 p2=1 p3=2  - 3 vertices\n"
                           "face 2 p1=0 p2=2 p3=3  - 3 vertices\n"
                           "face 3 p1=0 p2=3 p3=1  - 3 vertices\n"
                           "face 4 p1=1 p2=3 p3=2  - 3 vertices\n" +
                               summary(4, 4, s.vertices[1].y, 1));
    EXPECT_EQ(read.report.message + read.report.detail, "");
    freePolyhedron(read.solid);
}

TEST(Polyhedron, ShortLinesAreSkippedAndCrLfReadsLikeLf) {
    std::string lf = "\nx\n{0, 0, 0}{1, 0, 0}{0, 1, 0}\n\n;\nab\n{0, 0, 1}\n";
    std::string crlf = "\r\nx\r\n{0, 0, 0}{1, 0, 0}{0, 1, 0}\r\n\r\n;\r\nab\r\n{0, 0, 1}\r\n";
    Read a = readText(lf);
    Read b = readText(crlf);
    ASSERT_NE(a.solid, nullptr);
    ASSERT_NE(b.solid, nullptr);
    EXPECT_EQ(a.output, b.output);
    // "ab" and its line end make three characters: a face with no corners.
    EXPECT_EQ(a.output.substr(0, a.output.find("4 vertices,") - 9),
              "face 1 p1=0 p2=1 p3=2  - 3 vertices\n"
              "face 2  - 0 vertices\n"
              "face 3 p1=3  - 1 vertices\n");
    EXPECT_EQ(a.solid->faceCount, 3);
    EXPECT_EQ(a.solid->faces[1].count, 0);
    EXPECT_EQ(a.solid->faces[1].indices, nullptr);
    freePolyhedron(a.solid);
    freePolyhedron(b.solid);
}

TEST(Polyhedron, GroupsAreReadBackToBackUntilSomethingElseBegins) {
    Read read = readText(
        "{0,0,0}{1, 0, 0}{ 0,\t1, 0}\n"   // blanks or none: the same corners
        "{1,0,0} {0,0,1}\n"               // a blank ends the list
        "{0,1,0},{0,0,1}\n"               // so does a comma
        " {0,0,1}\n"                      // no group at the start: no corners
        "{1.0e0, -0, 0}{+.5E1, 0, 0}{1,0,0}x{0,0,1}\n"
        "{0, 0, -0}{-0, 0, 0}\n"          // -0 and 0 are one vertex
        "{2, -3, 0}{5, -3, 0}");          // no line end on the last line
    ASSERT_NE(read.solid, nullptr) << read.output;
    Polyhedron& s = *read.solid;
    ASSERT_EQ(s.faceCount, 7);
    EXPECT_EQ(s.faces[0].count, 3);
    EXPECT_EQ(s.faces[1].count, 1);
    EXPECT_EQ(s.faces[2].count, 1);
    EXPECT_EQ(s.faces[3].count, 0);
    ASSERT_EQ(s.faces[4].count, 3);
    EXPECT_EQ(s.faces[4].indices[0], 1);  // (1, -0, 0) is (1, 0, 0)
    EXPECT_EQ(s.faces[4].indices[1], 3);  // (5, 0, 0) is new
    EXPECT_EQ(s.faces[4].indices[2], 1);  // the same point twice, the same index
    ASSERT_EQ(s.faces[5].count, 2);
    EXPECT_EQ(s.faces[5].indices[0], 0);
    EXPECT_EQ(s.faces[5].indices[1], 0);
    EXPECT_EQ(s.faces[6].count, 2);
    EXPECT_EQ(s.vertexCount, 6);
    // (2, -3, 0) and (5, -3, 0) share the lowest y: the first one wins.
    EXPECT_EQ(s.lowestVertex, 4);
    EXPECT_NE(read.output.find("face 7 p1=4 p2=5  - 2 vertices\n"), std::string::npos);
    freePolyhedron(read.solid);
}

TEST(Polyhedron, OverLongLinesComeInPiecesOf4095Characters) {
    // 455 groups of 9 characters fill the first piece exactly; the rest of
    // the line is a face of its own.
    std::string line;
    for (int i = 0; i < 455; i++) line += "{1, 0, 0}";
    ASSERT_EQ(line.size(), 4095u);
    line += "{0, 1, 0}{0, 0, 1}\n";
    // A piece that stops inside a group after its third number: the corner
    // counts and ends the face; the closing brace begins the next piece.
    std::string cut;
    for (int i = 0; i < 454; i++) cut += "{0, 2, 0}";
    cut += "{3, 0, 07}{0, 0, 1}\n";
    ASSERT_EQ(cut.find('}', 4090), 4095u);
    Read read = readText("{0, 0, 0}\n" + line + cut);
    ASSERT_NE(read.solid, nullptr) << read.output.substr(0, 200);
    Polyhedron& s = *read.solid;
    ASSERT_EQ(s.faceCount, 5);
    EXPECT_EQ(s.faces[1].count, 455);
    EXPECT_EQ(s.faces[2].count, 2);
    ASSERT_EQ(s.faces[3].count, 455);
    const PolyVertex& last = s.vertices[s.faces[3].indices[454]];
    EXPECT_FLOAT_EQ(last.z / last.x, 7.0f / 3.0f);
    EXPECT_EQ(s.faces[4].count, 0);  // "}{0, 0, 1}"
    EXPECT_NE(read.output.find("face 5  - 0 vertices\n"), std::string::npos);
    freePolyhedron(read.solid);
}

TEST(Polyhedron, ScalingMeasuresFromVertexZeroOnly) {
    // A cube given centred: the corner opposite vertex 0 is the farthest,
    // so every corner ends at distance 1 from the untouched origin.
    std::string cube;
    const char* faces[] = {"{-1,-1,-1}{1,-1,-1}{1,1,-1}{-1,1,-1}", "{-1,-1,1}{1,-1,1}{1,1,1}{-1,1,1}",
                           "{-1,-1,-1}{-1,-1,1}{-1,1,1}{-1,1,-1}", "{1,-1,-1}{1,-1,1}{1,1,1}{1,1,-1}",
                           "{-1,-1,-1}{1,-1,-1}{1,-1,1}{-1,-1,1}", "{-1,1,-1}{1,1,-1}{1,1,1}{-1,1,1}"};
    for (const char* f : faces) cube += std::string(f) + "\n";
    Read read = readText(cube);
    ASSERT_NE(read.solid, nullptr);
    PolyVertex origin{0, 0, 0};
    for (int i = 0; i < read.solid->vertexCount; i++) {
        EXPECT_FLOAT_EQ(vertexDistance(origin, read.solid->vertices[i]), 1.0f);
    }
    // The summary's lowest y is the scaled one.
    EXPECT_NE(read.output.find(summary(6, 8, -1.0f / std::sqrt(3.0f), 0)), std::string::npos)
        << read.output;
    freePolyhedron(read.solid);

    // Off-centre: vertex 0 stays where scaling puts it, nothing is moved.
    Polyhedron s{};
    PolyVertex v[3] = {{1, 0, 0}, {3, 0, 0}, {1, 4, 0}};
    s.vertices = v;
    s.vertexCount = 3;
    scalePolyhedron(&s, 2.0f);
    EXPECT_EQ(v[0].x, 0.5f);
    EXPECT_EQ(v[2].y, 2.0f);
    // A solid without extent is left alone rather than turned to NaN.
    PolyVertex same[2] = {{1, 2, 3}, {1, 2, 3}};
    s.vertices = same;
    s.vertexCount = 2;
    scalePolyhedron(&s, 2.0f);
    EXPECT_EQ(same[1].z, 3.0f);
    EXPECT_EQ(vertexDistance({0, 0, 0}, {2, 3, 6}), 7.0f);
}

TEST(Polyhedron, NumbersAreReadAndPrintedInTheCLocale) {
    // Build a comma-decimal locale of our own; skip where that cannot be done.
    std::string folder = scratchPath("locales");
    std::string command = "mkdir -p " + folder + " && localedef -i de_DE -f UTF-8 " + folder +
                          "/de_DE.utf8 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot make de_DE";
    setenv("LOCPATH", folder.c_str(), 1);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE cannot be used";
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5");

    Read read = readText("{0, 0, 0}{0, -1.5, 0}{2, 0.0, 0}\n");
    std::setlocale(LC_ALL, "C");
    ASSERT_NE(read.solid, nullptr) << read.output;
    EXPECT_EQ(read.solid->vertexCount, 3);
    EXPECT_EQ(read.solid->lowestVertex, 1);
    // The farthest corner is 2 away: the scale factor is 1.
    EXPECT_NE(read.output.find("lowest y=-1.500000 (vertex 1)"), std::string::npos) << read.output;
    freePolyhedron(read.solid);
}

TEST(Polyhedron, LoadPrintsTheOpeningLineAndReadsCrLfFiles) {
    std::string path = scratchPath("tetra.txt");
    std::string crlf;
    for (const char* c = tetrahedron; *c; c++) crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    writeFile(path, crlf);
    Polyhedron* solid = nullptr;
    std::string out = captureStdout([&] { solid = loadPolyhedron(path.c_str(), nullptr); });
    ASSERT_NE(solid, nullptr);
    EXPECT_EQ(out.rfind("opening " + path + "\nface 1 p1=0 p2=1 p3=2  - 3 vertices\n", 0), 0u) << out;
    Read lf = readText(tetrahedron);
    EXPECT_EQ(out, "opening " + path + "\n" + lf.output);
    freePolyhedron(lf.solid);
    freePolyhedron(solid);
}

// ---- Files the demo cannot use ----------------------------------------

namespace {

// loadPolyhedron must return null and report `expected`, having printed its
// opening line and progress, every line ended (the caller's line follows)
// and none of them the failure.
void expectRefused(const std::string& name, const std::string& text, const std::string& expected) {
    std::string path = scratchPath(name);
    writeFile(path, text);
    Polyhedron* solid = nullptr;
    LoadReport report;
    std::string printed = captureStdout([&] { solid = loadPolyhedron(path.c_str(), &report); });
    EXPECT_EQ(solid, nullptr);
    EXPECT_EQ(report.message, expected);
    EXPECT_EQ(printed.rfind("opening " + path + "\n", 0), 0u) << printed;
    EXPECT_TRUE(!printed.empty() && printed.back() == '\n') << printed;
    EXPECT_EQ(printed.find("\nerror"), std::string::npos) << printed;
}

}  // namespace

TEST(PolyhedronRefused, UnusableFilesGiveNullWithAReason) {
    std::string missing = scratchPath("no-such-solid.txt");
    Polyhedron* solid = nullptr;
    LoadReport report;
    EXPECT_EQ(captureStdout([&] { solid = loadPolyhedron(missing.c_str(), &report); }), "");
    EXPECT_EQ(solid, nullptr);
    EXPECT_EQ(report.message, "error opening " + missing);

    std::string p = scratchPath("");
    expectRefused("empty.txt", "", "error in " + p + "empty.txt: no vertices");
    expectRefused("words.txt", "no groups here\n\nnor here\n", "error in " + p + "words.txt: no vertices");
    expectRefused("point.txt", "{1, 2, 3}{1, 2, 3}\n{1,2,3}\n",
                  "error in " + p + "point.txt: every vertex lies at vertex 0, so the solid has no size");
    expectRefused("short.txt", "{0, 0, 0}{1, 1, 1}\n\n{1, 2}{3, 4, 5}\n",
                  "error in " + p + "short.txt, line 3: a corner needs three numbers");
    expectRefused("nan.txt", "{0, 0, 0}{nan, 0, 0}\n",
                  "error in " + p + "nan.txt, line 1: a coordinate is not a finite number");
    expectRefused("inf.txt", "{0, 0, 0}\n{1, -INF, 0}\n",
                  "error in " + p + "inf.txt, line 2: a coordinate is not a finite number");
    expectRefused("huge.txt", "{0, 0, 0}{1e39, 0, 0}\n",
                  "error in " + p + "huge.txt, line 1: a coordinate is not a finite number");
    expectRefused("far.txt", "{3e38, 0, 0}{-3e38, 0, 0}{0, 1, 0}\n",
                  "error in " + p + "far.txt: the solid cannot be scaled to a finite size");

    // A folder opens but cannot be read.
    std::string folder = scratchPath("folder.txt");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(captureStdout([&] { solid = loadPolyhedron(folder.c_str(), &report); }), "opening " + folder + "\n");
    EXPECT_EQ(solid, nullptr);
    EXPECT_EQ(report.message, "error reading " + folder);
}
