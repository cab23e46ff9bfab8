#include "convert/exportformat.h"

#include <array>

namespace convert {

namespace {
constexpr std::array kFormats = {Format::Glb, Format::Gltf, Format::Obj};
} // namespace

QString formatName(Format format)
{
    switch (format) {
    case Format::Glb:
        return QStringLiteral("glb");
    case Format::Gltf:
        return QStringLiteral("gltf");
    case Format::Obj:
        return QStringLiteral("obj");
    }
    return {};
}

std::optional<Format> formatNamed(QStringView name)
{
    for (const Format format : kFormats) {
        if (name.compare(formatName(format), Qt::CaseInsensitive) == 0)
            return format;
    }
    return std::nullopt;
}

} // namespace convert
