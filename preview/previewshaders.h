#pragma once
// The preview's shader programs: the vertices in eye and clip space, and
// each fragment's colour from the material, an optional texture with its
// mask, ambient light and a headlight at the eye, and the corner's own
// light (prelight) added, each channel at most 1.
//
// One source, built three ways by what is defined before it:
// - nothing: the material comes from uniforms (a mesh, or lines);
// - PRELIT: the same, with each corner's prelight from an attribute;
// - BATCHED: the material, prelight and culling come from each corner's
//   attributes (the see-through faces of many materials in one draw).
#include <QOpenGLFunctions>

namespace preview::shaders {

// Attribute slots, bound before a program links.
enum Attribute : GLuint {
    PositionSlot = 0,
    NormalSlot = 1,
    UvSlot = 2,
    PrelightSlot = 3,
    ColorSlot = 4,
    SurfaceSlot = 5,
    CulledSlot = 6,
    SlotCount = 7
};

inline constexpr const char *kPrelitDefine = "#define PRELIT\n";
inline constexpr const char *kBatchedDefine = "#define PRELIT\n#define BATCHED\n";

inline constexpr const char *kVertexShader = R"(
attribute highp vec3 position;
attribute mediump vec3 normal;
attribute mediump vec2 uv;
uniform highp mat4 clip;      // projection * view * model
uniform highp mat4 modelView;
uniform mediump mat3 normalMatrix;
uniform mediump float pointSize;
varying mediump vec3 eyeNormal;
varying highp vec3 eyePosition;
varying mediump vec2 texCoord;
#ifdef PRELIT
attribute mediump vec3 prelight;
varying mediump vec3 cornerLight;
#endif
#ifdef BATCHED
attribute mediump vec4 materialColor;
attribute mediump vec4 materialSurface;
attribute mediump float materialCulled;
varying mediump vec4 cornerColor;
varying mediump vec4 cornerSurface;
varying mediump float cornerCulled;
#endif
void main()
{
    vec4 point = vec4(position, 1.0);
    eyePosition = (modelView * point).xyz;
    eyeNormal = normalMatrix * normal;
    texCoord = uv;
#ifdef PRELIT
    cornerLight = prelight;
#endif
#ifdef BATCHED
    cornerColor = materialColor;
    cornerSurface = materialSurface;
    cornerCulled = materialCulled;
#endif
    gl_PointSize = pointSize;
    gl_Position = clip * point;
}
)";

inline constexpr const char *kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform vec4 color;       // rgb and opacity
uniform vec4 surface;     // ambient, diffuse, specular, and 1 when lit
uniform vec2 light;       // ambient light, headlight
uniform bool textured;
uniform bool masked;
uniform sampler2D image;
varying vec3 eyeNormal;
varying vec3 eyePosition;
varying vec2 texCoord;
#ifdef PRELIT
varying vec3 cornerLight;
#endif
#ifdef BATCHED
varying vec4 cornerColor;
varying vec4 cornerSurface;
varying float cornerCulled;
#endif
void main()
{
#ifdef BATCHED
    if (cornerCulled > 0.5 && !gl_FrontFacing)
        discard;
    vec4 base = cornerColor;
    vec4 material = cornerSurface;
#else
    vec4 base = color;
    vec4 material = surface;
#endif
    if (textured) {
        vec4 texel = texture2D(image, texCoord);
        if (masked && texel.a < 0.5)
            discard;
        base.rgb = texel.rgb;
    }
    vec3 rgb = base.rgb;
    if (material.w > 0.5) {
        vec3 n = normalize(eyeNormal);
        if (!gl_FrontFacing)
            n = -n;
        // The lamp sits at the eye: light and view share one direction.
        float facing = max(dot(n, normalize(-eyePosition)), 0.0);
        rgb = base.rgb * (material.x * light.x + material.y * light.y * facing);
        if (material.z > 0.0)
            rgb += vec3(material.z * light.y * pow(facing, 32.0));
#ifdef PRELIT
        rgb += cornerLight;
#endif
    }
    gl_FragColor = vec4(min(rgb, vec3(1.0)), base.a);
}
)";

} // namespace preview::shaders
