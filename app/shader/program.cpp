// Programs: a GLSL file compiled for one stage and checked to link on its
// own (that link is also the combination "this program, the other stage
// fixed-function"), and the uniforms it offers.
#include "app/shader/shader_state.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace shader {

namespace {

constexpr long kMaxSourceBytes = 1 << 20;

const char* stageName(int stage) { return stage == 0 ? "vertex" : "fragment"; }

bool readSource(const char* file, std::string* source) {
    std::FILE* f = std::fopen(file, "rb");
    if (!f) {
        recordError(fileError, std::string(file) + ": cannot open the file (" +
                                   std::strerror(errno) + ")");
        return false;
    }
    source->clear();
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        source->append(buffer, got);
        if (static_cast<long>(source->size()) > kMaxSourceBytes) break;
    }
    bool failed = std::ferror(f) != 0;
    int readErrno = errno;
    std::fclose(f);
    if (failed) {
        recordError(fileError, std::string(file) + ": cannot read the file (" +
                                   std::strerror(readErrno) + ")");
        return false;
    }
    if (static_cast<long>(source->size()) > kMaxSourceBytes) {
        recordError(fileError, std::string(file) + ": larger than 1 MiB, not a shader program");
        return false;
    }
    return true;
}

// Skips white space and comments; the offset of the first other character.
std::size_t skipBlank(const std::string& text, std::size_t at) {
    while (at < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        } else if (text.compare(at, 2, "//") == 0) {
            at = text.find('\n', at);
            if (at == std::string::npos) return text.size();
        } else if (text.compare(at, 2, "/*") == 0) {
            at = text.find("*/", at + 2);
            if (at == std::string::npos) return text.size();
            at += 2;
        } else {
            break;
        }
    }
    return at;
}

bool hasVersionLine(const std::string& source) {
    std::size_t at = skipBlank(source, 0);
    return source.compare(at, 8, "#version") == 0;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string shaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) glGetShaderInfoLog(shader, length, nullptr, &log[0]);
    return trimmed(log);
}

// The shader object for the source, or 0 with the compiler's log recorded.
GLuint compile(const char* file, int stage, const std::string& source) {
    // Without a #version line GLSL would mean 1.10; "#line 0" keeps the
    // file's own line numbers in the log (in 1.20 the next line is 0 + 1).
    const char* parts[2] = {"#version 120\n#line 0\n", source.c_str()};
    GLint lengths[2] = {static_cast<GLint>(std::strlen(parts[0])),
                        static_cast<GLint>(source.size())};
    bool prefix = !hasVersionLine(source);
    GLuint shader = glCreateShader(stage == 0 ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    glShaderSource(shader, prefix ? 2 : 1, prefix ? parts : parts + 1, prefix ? lengths : lengths + 1);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        recordError(compileError, std::string(file) + ": the " + stageName(stage) +
                                      " program does not compile:\n" + shaderLog(shader));
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

bool isIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Whether a "uniform ...;" declaration of the source names `name`: such a
// uniform gets a handle even when the compiler dropped it as unused.
bool declaresUniform(const std::string& source, const std::string& name) {
    bool inUniform = false, atStatementStart = true;
    std::size_t at = 0;
    while ((at = skipBlank(source, at)) < source.size()) {
        char c = source[at];
        if (isIdentifierChar(c)) {
            std::size_t end = at;
            while (end < source.size() && isIdentifierChar(source[end])) ++end;
            std::string word = source.substr(at, end - at);
            if (atStatementStart && word == "uniform") inUniform = true;
            else if (inUniform && word == name) return true;
            atStatementStart = false;
            at = end;
        } else {
            if (c == ';' || c == '{' || c == '}') {
                inUniform = false;
                atStatementStart = true;
            } else if (c == '#') {
                // Preprocessor lines are not declarations.
                at = source.find('\n', at);
                if (at == std::string::npos) break;
                atStatementStart = true;
            } else {
                atStatementStart = false;
            }
            ++at;
        }
    }
    return false;
}

}  // namespace

Program createProgramFromFile(Context context, const char* file, Profile profile,
                              const char* entry) {
    ShaderState& s = state();
    if (!contextLive() || context == 0) {
        recordError(noContext, "shader layer: no shader context for the current GL context");
        return 0;
    }
    if (indexOf(context, 1) == kNoIndex) return 0;
    int stage = indexOf(profile, kStages);
    if (stage == kNoIndex) {
        if (profile == 0) recordError(invalidHandle, "shader layer: no profile to compile for");
        return 0;
    }
    if (!file || (entry && std::strcmp(entry, "main") != 0)) {
        recordError(invalidArgument,
                    std::string(file ? file : "(no file)") +
                        ": GLSL programs start at \"main\"; no other entry can be chosen");
        return 0;
    }
    ProgramRecord record;
    record.file = file;
    record.stage = stage;
    if (!readSource(file, &record.source)) return 0;
    record.shaderObject = compile(file, stage, record.source);
    if (!record.shaderObject) return 0;

    int index = static_cast<int>(s.programs.size());
    s.programs.push_back(record);
    int link = linkCombination(stage == 0 ? index : kNoIndex, stage == 1 ? index : kNoIndex);
    if (s.links[link].glProgram == 0) {
        // Not usable on its own: forget it, so no handle can reach it.
        glDeleteShader(record.shaderObject);
        s.linkByPrograms.erase({s.links[link].programs[0], s.links[link].programs[1]});
        s.links.pop_back();
        s.programs.pop_back();
        return 0;
    }
    s.programs[index].activeUniforms = s.links[link].uniforms;
    return makeHandle(static_cast<std::uint32_t>(index));
}

void loadProgram(Program program) { indexOf(program, state().programs.size()); }

Parameter namedParameter(Program program, const char* name) {
    ShaderState& s = state();
    int index = indexOf(program, s.programs.size());
    if (index == kNoIndex || !name) return 0;
    for (int p : s.programs[index].parameters)
        if (s.parameters[p].name == name) return makeHandle(static_cast<std::uint32_t>(p));

    ParameterRecord record;
    record.program = index;
    record.name = name;
    const ProgramRecord& owner = s.programs[index];
    const UniformInfo* uniform = findUniform(owner.activeUniforms, record.name);
    // A uniform the compiler dropped from this program alone may still be
    // live in a combination (feeding a varying of the other stage), so a
    // declared one takes values too; where it has no location they go nowhere.
    if (uniform) {
        record.uniform = !isSampler(uniform->type);
    } else if (declaresUniform(owner.source, record.name)) {
        record.uniform = true;
    } else if (!(record.name.size() > 3 && record.name.compare(0, 3, "IN.") == 0)) {
        return 0;
    }
    int p = static_cast<int>(s.parameters.size());
    s.parameters.push_back(record);
    s.programs[index].parameters.push_back(p);
    if (record.uniform) addToLinks(p);
    return makeHandle(static_cast<std::uint32_t>(p));
}

}  // namespace shader
