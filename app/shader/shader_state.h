// Inside the shader layer: its one state record and the helpers its source
// files share. Nothing outside app/shader includes this.
//
// Layout: programs, parameters and linked combinations live in tables of the
// state record, indexed from 0; a handle is that index + 1 with the context's
// generation in the top bits, so a handle from an earlier context never
// reaches into the new tables.
#pragma once

#include "app/gl.h"
#include "app/shader/shader.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace shader {

constexpr std::uint32_t kIndexBits = 20;
constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr std::uint32_t kGenerationLimit = 1u << (32 - kIndexBits);
constexpr int kNoIndex = -1;
constexpr std::uint32_t kStages = 2;

inline int stageIndex(Stage stage) { return stage == Stage::vertex ? 0 : 1; }

// One active uniform of a linked GL program; arrays under their plain name.
struct UniformInfo {
    std::string name;
    GLint location = -1;
    GLenum type = 0;
    GLint size = 1;
};

struct ProgramRecord {
    std::string file;
    int stage = 0;                              // stageIndex
    GLuint shaderObject = 0;
    std::string source;                         // kept to find declared uniforms
    std::vector<UniformInfo> activeUniforms;    // from its link on its own
    std::vector<int> parameters;                // indices of its parameters
};

struct ParameterRecord {
    int program = kNoIndex;
    std::string name;
    bool uniform = false;       // false: a handle whose values are ignored
    float value[16] = {};
    int count = 0;              // components last given; 16 = the state matrix
    std::uint64_t serial = 0;   // 0 = never set
};

// A parameter's place in one linked program, and the value last sent there.
struct LinkEntry {
    int parameter = kNoIndex;
    GLint location = -1;
    GLenum type = 0;
    std::uint64_t uploaded = 0;
};

// The GL program for one combination of stage programs (kNoIndex = that
// stage runs fixed-function). glProgram 0 marks a combination that failed to
// link, so it is not tried again every frame.
struct LinkRecord {
    int programs[kStages] = {kNoIndex, kNoIndex};
    GLuint glProgram = 0;
    bool samplersTied = false;
    std::vector<UniformInfo> uniforms;
    std::vector<LinkEntry> entries;
};

struct ShaderState {
    std::uint32_t generation = 0;   // 0: no context made yet
    std::uint64_t glContext = 0;    // currentContextSerial() at createContext
    std::vector<ProgramRecord> programs;
    std::vector<ParameterRecord> parameters;
    std::vector<LinkRecord> links;
    std::map<std::pair<int, int>, int> linkByPrograms;
    bool enabled[kStages] = {false, false};
    int bound[kStages] = {kNoIndex, kNoIndex};
    int currentLink = kNoIndex;     // the link we made current, if it linked
    std::uint64_t nextSerial = 1;
    int pendingError = noError;
    int detailError = noError;
    std::string detailText;
};

ShaderState& state();

// True when the GL context that createContext saw is still the current one.
bool contextLive();

void recordError(int error, const std::string& text);

inline std::uint32_t makeHandle(std::uint32_t index) {
    return (state().generation << kIndexBits) | (index + 1);
}
// The table index a handle of the current generation stands for, kNoIndex
// for null (quietly) and for stale or unknown handles (invalidHandle).
int indexOf(std::uint32_t handle, std::size_t tableSize);

// Active uniforms of a linked GL program, array names without "[0]".
std::vector<UniformInfo> activeUniformsOf(GLuint glProgram);
const UniformInfo* findUniform(const std::vector<UniformInfo>& uniforms,
                               const std::string& name);
bool isSampler(GLenum type);

// Links the combination (kNoIndex = fixed function) and records it; the
// index of its LinkRecord, whose glProgram is 0 when it did not link.
int linkCombination(int vertexProgram, int fragmentProgram);
// Adds the parameter's entry to every link that contains its program.
void addToLinks(int parameter);
// Sends the parameter's value to the current link, if that contains it.
void uploadIfCurrent(int parameter);

}  // namespace shader
