// Stages and combinations: which programs are enabled and bound, the GL
// program linked for each combination (once, then cached), and getting the
// kept parameter values into whichever of them is current.
#include "app/shader/shader_state.h"

#include <cctype>
#include <cstdlib>

namespace shader {

namespace {

std::string programLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) glGetProgramInfoLog(program, length, nullptr, &log[0]);
    while (!log.empty() && (log.back() == '\n' || log.back() == ' ' || log.back() == '\0'))
        log.pop_back();
    return log;
}

std::string linkFailureText(const int programs[kStages], const std::string& log) {
    const ShaderState& s = state();
    if (programs[0] != kNoIndex && programs[1] != kNoIndex)
        return s.programs[programs[0]].file + " with " + s.programs[programs[1]].file +
               ": the vertex and fragment programs do not link together:\n" + log;
    int only = programs[0] != kNoIndex ? programs[0] : programs[1];
    return s.programs[only].file + ": the " + (only == programs[0] ? "vertex" : "fragment") +
           " program does not link:\n" + log;
}

void addEntry(LinkRecord& link, int parameter) {
    const UniformInfo* uniform = findUniform(link.uniforms, state().parameters[parameter].name);
    if (!uniform) return;
    LinkEntry entry;
    entry.parameter = parameter;
    entry.location = uniform->location;
    entry.type = uniform->type;
    link.entries.push_back(entry);
}

// Sends a kept value to the current GL program in the shape of its uniform;
// a shape that does not fit (a float for a matrix, ...) sends nothing.
void upload(const LinkEntry& entry, const ParameterRecord& p) {
    const float* v = p.value;
    bool matrix = p.count == 16;
    switch (entry.type) {
    case GL_FLOAT: if (!matrix) glUniform1f(entry.location, v[0]); break;
    case GL_FLOAT_VEC2: if (!matrix) glUniform2f(entry.location, v[0], v[1]); break;
    case GL_FLOAT_VEC3: if (!matrix) glUniform3f(entry.location, v[0], v[1], v[2]); break;
    case GL_FLOAT_VEC4: if (!matrix) glUniform4f(entry.location, v[0], v[1], v[2], v[3]); break;
    case GL_FLOAT_MAT4: if (matrix) glUniformMatrix4fv(entry.location, 1, GL_FALSE, v); break;
    default: break;
    }
}

// The unit a sampler's name asks for: the number at its end, else 0.
GLint unitOfName(const std::string& name) {
    std::size_t end = name.size(), start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1]))) --start;
    if (start == end || end - start > 4) return 0;
    return static_cast<GLint>(std::atoi(name.c_str() + start));
}

// Needs the link's GL program current (GL 2.0 sets uniforms only there).
void tieSamplers(LinkRecord& link) {
    GLint units = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
    for (const UniformInfo& uniform : link.uniforms) {
        if (!isSampler(uniform.type)) continue;
        GLint base = unitOfName(uniform.name);
        std::vector<GLint> values(static_cast<std::size_t>(uniform.size));
        for (std::size_t i = 0; i < values.size(); ++i) {
            GLint unit = base + static_cast<GLint>(i);
            values[i] = unit < units ? unit : 0;
        }
        glUniform1iv(uniform.location, uniform.size, values.data());
    }
    link.samplersTied = true;
}

// Makes current the GL program for the enabled stages' bound programs, or
// fixed function where none is; sends the values it has not seen yet.
void applyCombination() {
    ShaderState& s = state();
    if (!contextLive()) return;
    int vertex = s.enabled[0] ? s.bound[0] : kNoIndex;
    int fragment = s.enabled[1] ? s.bound[1] : kNoIndex;
    s.currentLink = kNoIndex;
    if (vertex == kNoIndex && fragment == kNoIndex) {
        glUseProgram(0);
        return;
    }
    auto found = s.linkByPrograms.find({vertex, fragment});
    int index = found != s.linkByPrograms.end() ? found->second : linkCombination(vertex, fragment);
    LinkRecord& link = s.links[index];
    // A combination that does not link draws fixed-function.
    glUseProgram(link.glProgram);
    if (link.glProgram == 0) return;
    s.currentLink = index;
    if (!link.samplersTied) tieSamplers(link);
    for (LinkEntry& entry : link.entries) {
        const ParameterRecord& p = s.parameters[entry.parameter];
        if (p.serial == entry.uploaded) continue;
        upload(entry, p);
        entry.uploaded = p.serial;
    }
}

// The stage a profile handle stands for, kNoIndex for null or stale.
int stageOf(Profile profile) { return indexOf(profile, kStages); }

}  // namespace

bool isSampler(GLenum type) {
    switch (type) {
    case GL_SAMPLER_1D: case GL_SAMPLER_2D: case GL_SAMPLER_3D: case GL_SAMPLER_CUBE:
    case GL_SAMPLER_1D_SHADOW: case GL_SAMPLER_2D_SHADOW:
        return true;
    default:
        return false;
    }
}

std::vector<UniformInfo> activeUniformsOf(GLuint glProgram) {
    std::vector<UniformInfo> uniforms;
    GLint count = 0, longest = 0;
    glGetProgramiv(glProgram, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(glProgram, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    std::vector<char> name(static_cast<std::size_t>(longest > 0 ? longest : 1) + 1, '\0');
    for (GLint i = 0; i < count; ++i) {
        UniformInfo uniform;
        GLsizei length = 0;
        glGetActiveUniform(glProgram, static_cast<GLuint>(i), static_cast<GLsizei>(name.size()),
                           &length, &uniform.size, &uniform.type, name.data());
        uniform.name.assign(name.data(), static_cast<std::size_t>(length));
        uniform.location = glGetUniformLocation(glProgram, uniform.name.c_str());
        std::size_t bracket = uniform.name.size() >= 3 ? uniform.name.size() - 3 : 0;
        if (uniform.name.compare(bracket, std::string::npos, "[0]") == 0)
            uniform.name.erase(bracket);
        // Built-in uniforms (gl_ModelViewMatrix, ...) have no location.
        if (uniform.location >= 0) uniforms.push_back(uniform);
    }
    return uniforms;
}

const UniformInfo* findUniform(const std::vector<UniformInfo>& uniforms,
                               const std::string& name) {
    for (const UniformInfo& uniform : uniforms)
        if (uniform.name == name) return &uniform;
    return nullptr;
}

int linkCombination(int vertexProgram, int fragmentProgram) {
    ShaderState& s = state();
    LinkRecord link;
    link.programs[0] = vertexProgram;
    link.programs[1] = fragmentProgram;
    link.glProgram = glCreateProgram();
    for (int program : link.programs)
        if (program != kNoIndex) glAttachShader(link.glProgram, s.programs[program].shaderObject);
    glLinkProgram(link.glProgram);
    GLint ok = GL_FALSE;
    glGetProgramiv(link.glProgram, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        recordError(linkError, linkFailureText(link.programs, programLog(link.glProgram)));
        glDeleteProgram(link.glProgram);
        link.glProgram = 0;
    } else {
        link.uniforms = activeUniformsOf(link.glProgram);
        for (int program : link.programs) {
            if (program == kNoIndex) continue;
            for (int p : s.programs[program].parameters)
                if (s.parameters[p].uniform) addEntry(link, p);
        }
    }
    int index = static_cast<int>(s.links.size());
    s.links.push_back(std::move(link));
    s.linkByPrograms[{vertexProgram, fragmentProgram}] = index;
    return index;
}

void addToLinks(int parameter) {
    ShaderState& s = state();
    int program = s.parameters[parameter].program;
    for (LinkRecord& link : s.links)
        if (link.glProgram && (link.programs[0] == program || link.programs[1] == program))
            addEntry(link, parameter);
}

void uploadIfCurrent(int parameter) {
    ShaderState& s = state();
    if (s.currentLink == kNoIndex || !contextLive()) return;
    for (LinkEntry& entry : s.links[s.currentLink].entries) {
        if (entry.parameter != parameter) continue;
        upload(entry, s.parameters[parameter]);
        entry.uploaded = s.parameters[parameter].serial;
    }
}

void enableProfile(Profile profile) {
    int stage = stageOf(profile);
    if (stage == kNoIndex) return;
    state().enabled[stage] = true;
    applyCombination();
}

void disableProfile(Profile profile) {
    int stage = stageOf(profile);
    if (stage == kNoIndex) return;
    state().enabled[stage] = false;
    applyCombination();
}

void bindProgram(Program program) {
    ShaderState& s = state();
    int index = indexOf(program, s.programs.size());
    if (index == kNoIndex) return;
    s.bound[s.programs[index].stage] = index;
    applyCombination();
}

}  // namespace shader
