#include "scene/scenetext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>
#include <unordered_map>

namespace rwx::scenetext {
namespace {

struct Entry {
    std::string_view lower;
    Op op;
};

constexpr Entry kOps[] = {
    {"modelbegin", Op::ModelBegin}, {"modelend", Op::ModelEnd},
    {"clumpbegin", Op::ClumpBegin}, {"clumpend", Op::ClumpEnd},
    {"protobegin", Op::ProtoBegin}, {"protoend", Op::ProtoEnd},
    {"transformbegin", Op::TransformBegin}, {"transformend", Op::TransformEnd},
    {"materialbegin", Op::MaterialBegin}, {"materialend", Op::MaterialEnd},
    {"jointtransformbegin", Op::JointBegin}, {"jointtransformend", Op::JointEnd},
    {"protoinstance", Op::ProtoInstance}, {"protoinstancegeometry", Op::ProtoInstanceGeometry},
    {"vertex", Op::Vertex}, {"vertexext", Op::Vertex},
    {"triangle", Op::Triangle}, {"triangleext", Op::Triangle},
    {"quad", Op::Quad}, {"quadext", Op::Quad},
    {"polygon", Op::Polygon}, {"polygonext", Op::Polygon},
    {"block", Op::Block}, {"cone", Op::Cone}, {"cylinder", Op::Cylinder}, {"disc", Op::Disc},
    {"sphere", Op::Sphere}, {"hemisphere", Op::Hemisphere},
    {"transform", Op::Transform}, {"translate", Op::Translate}, {"scale", Op::Scale},
    {"rotate", Op::Rotate}, {"identity", Op::Identity},
    {"color", Op::Color}, {"surface", Op::Surface}, {"ambient", Op::Ambient},
    {"diffuse", Op::Diffuse}, {"specular", Op::Specular}, {"opacity", Op::Opacity},
    {"texture", Op::Texture}, {"textureext", Op::Texture},
    {"texturemode", Op::TextureModes}, {"texturemodes", Op::TextureModes},
    {"addtexturemode", Op::AddTextureMode}, {"removetexturemode", Op::RemoveTextureMode},
    {"materialmode", Op::MaterialModes}, {"materialmodes", Op::MaterialModes},
    {"addmaterialmode", Op::AddMaterialMode}, {"removematerialmode", Op::RemoveMaterialMode},
    {"lightsampling", Op::LightSampling}, {"geometrysampling", Op::GeometrySampling},
    {"axisalignment", Op::AxisAlignment}, {"textureaddressmode", Op::TextureAddressMode},
};

constexpr qsizetype kLongestKeyword = 32;
constexpr qsizetype kLongestNumber = 128;

const std::unordered_map<std::string_view, Op> &opMap()
{
    static const std::unordered_map<std::string_view, Op> map = [] {
        std::unordered_map<std::string_view, Op> m;
        for (const Entry &e : kOps)
            m.emplace(e.lower, e.op);
        return m;
    }();
    return map;
}

inline bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

Op findOp(QStringView word)
{
    const qsizetype n = word.size();
    if (n <= 0 || n >= kLongestKeyword)
        return Op::None;
    char buf[kLongestKeyword];
    const char16_t *p = word.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c >= 0x80)
            return Op::None;
        buf[i] = char(c >= u'A' && c <= u'Z' ? c + 32 : c);
    }
    const auto &map = opMap();
    const auto it = map.find(std::string_view(buf, std::size_t(n)));
    return it == map.end() ? Op::None : it->second;
}

bool equalsLower(QStringView word, const char *lower)
{
    qsizetype i = 0;
    for (; i < word.size() && lower[i]; ++i) {
        const char16_t c = word[i].unicode();
        if (char16_t(c >= u'A' && c <= u'Z' ? c + 32 : c) != char16_t(static_cast<unsigned char>(lower[i])))
            return false;
    }
    return i == word.size() && lower[i] == 0;
}

bool parseNumber(QStringView word, float &value)
{
    const qsizetype n = word.size();
    if (n == 0 || n > kLongestNumber)
        return false;
    const char16_t *p = word.utf16();
    char buf[kLongestNumber + 1];
    qsizetype i = 0;
    qsizetype k = 0;
    if (p[0] == u'+' || p[0] == u'-') {
        if (p[0] == u'-')
            buf[k++] = '-';
        ++i;
    }
    qsizetype digits = 0;
    for (; i < n && isDigit(p[i]); ++i, ++digits)
        buf[k++] = char(p[i]);
    if (i < n && p[i] == u'.') {
        buf[k++] = '.';
        for (++i; i < n && isDigit(p[i]); ++i, ++digits)
            buf[k++] = char(p[i]);
    }
    if (digits == 0)
        return false;
    if (i < n && (p[i] == u'e' || p[i] == u'E')) {
        buf[k++] = 'e';
        ++i;
        if (i < n && (p[i] == u'+' || p[i] == u'-'))
            buf[k++] = char(p[i++]);
        qsizetype exponent = 0;
        for (; i < n && isDigit(p[i]); ++i, ++exponent)
            buf[k++] = char(p[i]);
        if (exponent == 0)
            return false;
    }
    if (i != n)
        return false;
    double d = 0;
    const auto result = std::from_chars(buf, buf + k, d);
    if (result.ec != std::errc() || result.ptr != buf + k)
        return false;
    const float f = float(d);
    if (!std::isfinite(f))
        return false;
    value = f;
    return true;
}

bool parseWhole(QStringView word, qint64 &value)
{
    constexpr qint64 kHuge = qint64(1) << 40;
    const qsizetype n = word.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (word[i] == u'+' || word[i] == u'-'))
        negative = word[i++] == u'-';
    qint64 v = 0;
    qsizetype digits = 0;
    for (; i < n && isDigit(word[i].unicode()); ++i, ++digits)
        v = std::min<qint64>(v * 10 + (word[i].unicode() - u'0'), kHuge);
    if (digits == 0)
        return false;
    if (i < n && word[i] == u'.') {
        for (++i; i < n; ++i) {
            if (word[i] != u'0')
                return false;
        }
    }
    if (i != n)
        return false;
    value = negative ? -v : v;
    return true;
}

} // namespace rwx::scenetext
