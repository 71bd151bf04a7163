// The five regular solids as vertex and face lists, centred on the origin,
// every face's corners counter-clockwise seen from outside (the jelly solids
// are drawn in a back-face pass and a front-face pass, so the winding decides
// which half of the shell each pass shows).
//
// Faces are found from the vertices alone (the planes that leave every
// vertex on one side), so the same code serves all five and cannot leave a
// face out or wind one the wrong way.
#pragma once

#include <vector>

namespace assetgen {

struct Vec3 {
    double x, y, z;
};

struct Solid {
    std::vector<Vec3> vertices;
    std::vector<std::vector<int>> faces;  // vertex indices, counter-clockwise from outside
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, double k);
double dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
Vec3 normalised(Vec3 a);

// The convex hull of points on a sphere about the origin, faces wound
// counter-clockwise seen from outside.
Solid hullOf(const std::vector<Vec3>& points);
Vec3 faceCentre(const Solid& solid, int face);
Vec3 faceNormal(const Solid& solid, int face);  // outward, unit length
// Index pairs of the edges, each once, smaller index first.
std::vector<std::pair<int, int>> edgesOf(const Solid& solid);

// Turns every vertex so that `from` (a unit vector) points along `to`.
void turnSolid(Solid& solid, Vec3 from, Vec3 to);
// Turns every vertex about the vertical axis.
void spinSolid(Solid& solid, double radians);

// In their resting poses, corners at distance 1 from the centre:
Solid tetrahedron();   // on a face
Solid hexahedron();    // on a face
Solid octahedron();    // on a vertex
Solid icosahedron();   // on a face
Solid dodecahedron();  // the icosahedron's dual, in step with it: on a vertex

}  // namespace assetgen
