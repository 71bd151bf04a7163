// Parameter values: kept with their program, sent to the GPU by the
// combination code whenever a linked program containing them is current.
#include "app/shader/shader_state.h"

namespace shader {

namespace {

void setValue(Parameter parameter, const float* values, int count) {
    ShaderState& s = state();
    int index = indexOf(parameter, s.parameters.size());
    if (index == kNoIndex) return;
    ParameterRecord& p = s.parameters[index];
    if (!p.uniform) return;
    for (int i = 0; i < 16; ++i) p.value[i] = i < count ? values[i] : 0.0f;
    p.count = count;
    p.serial = s.nextSerial++;
    uploadIfCurrent(index);
}

}  // namespace

void setParameter1f(Parameter parameter, float x) { setValue(parameter, &x, 1); }

void setParameter2f(Parameter parameter, float x, float y) {
    const float values[2] = {x, y};
    setValue(parameter, values, 2);
}

void setParameter1d(Parameter parameter, double x) {
    float value = static_cast<float>(x);
    setValue(parameter, &value, 1);
}

void setModelViewProjection(Parameter parameter) {
    ShaderState& s = state();
    if (parameter == 0 || !contextLive()) return;
    int index = indexOf(parameter, s.parameters.size());
    if (index == kNoIndex || !s.parameters[index].uniform) return;
    GLfloat projection[16], modelview[16], product[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    // Column-major, as GL keeps them: product = projection x modelview.
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += double(projection[k * 4 + row]) * double(modelview[column * 4 + k]);
            product[column * 4 + row] = static_cast<GLfloat>(sum);
        }
    }
    setValue(parameter, product, 16);
}

}  // namespace shader
