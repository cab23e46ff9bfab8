#pragma once
// The preview's shader program: the vertices in eye and clip space, and
// each fragment's colour from the material, an optional texture with its
// mask, ambient light and a headlight at the eye.
#include <QOpenGLFunctions>

namespace preview::shaders {

// Attribute slots, bound before the program links.
enum Attribute : GLuint { PositionSlot = 0, NormalSlot = 1, UvSlot = 2 };

inline constexpr const char *kVertexShader = R"(
attribute highp vec3 position;
attribute mediump vec3 normal;
attribute mediump vec2 uv;
uniform highp mat4 viewProjection;
uniform highp mat4 view;
uniform mediump mat3 normalMatrix;
uniform mediump float pointSize;
varying mediump vec3 eyeNormal;
varying highp vec3 eyePosition;
varying mediump vec2 texCoord;
void main()
{
    vec4 world = vec4(position, 1.0);
    eyePosition = (view * world).xyz;
    eyeNormal = normalMatrix * normal;
    texCoord = uv;
    gl_PointSize = pointSize;
    gl_Position = viewProjection * world;
}
)";

inline constexpr const char *kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform vec4 color;       // rgb and opacity
uniform vec3 surface;     // ambient, diffuse, specular
uniform vec2 light;       // ambient light, headlight
uniform bool lighting;
uniform bool textured;
uniform bool masked;
uniform sampler2D image;
varying vec3 eyeNormal;
varying vec3 eyePosition;
varying vec2 texCoord;
void main()
{
    vec4 base = color;
    if (textured) {
        vec4 texel = texture2D(image, texCoord);
        if (masked && texel.a < 0.5)
            discard;
        base.rgb = texel.rgb;
    }
    vec3 rgb = base.rgb;
    if (lighting) {
        vec3 n = normalize(eyeNormal);
        if (!gl_FrontFacing)
            n = -n;
        // The lamp sits at the eye: light and view share one direction.
        float facing = max(dot(n, normalize(-eyePosition)), 0.0);
        rgb = base.rgb * (surface.x * light.x + surface.y * light.y * facing)
              + vec3(surface.z * light.y * pow(facing, 32.0));
    }
    gl_FragColor = vec4(min(rgb, vec3(1.0)), base.a);
}
)";

} // namespace preview::shaders
