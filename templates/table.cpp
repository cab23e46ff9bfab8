#include "templates/table.h"

#include <array>

namespace templates {
namespace {

// One row of the table for each kind of item.
constexpr MenuItem insert(std::string_view controlName, std::string_view caption, std::string_view text)
{
    return {controlName, caption, ItemKind::Template, false, text, std::nullopt};
}

constexpr MenuItem dashes(std::string_view controlName)
{
    return {controlName, "-------------", ItemKind::Separator, false, {}, std::nullopt};
}

constexpr MenuItem command(std::string_view controlName, std::string_view caption, MenuCommand command)
{
    return {controlName, caption, ItemKind::Command, false, {}, command};
}

// A command item with a check mark, unchecked when built.
constexpr MenuItem switchItem(std::string_view controlName, std::string_view caption, MenuCommand command)
{
    return {controlName, caption, ItemKind::Command, true, {}, command};
}

constexpr MenuItem disabledCaption(std::string_view controlName, std::string_view caption)
{
    return {controlName, caption, ItemKind::Caption, false, {}, std::nullopt};
}

// "Shape": geometry statements. Texts that end in a blank leave room for the
// numbers that follow; "#<...>" hints name the parameters.
constexpr std::array kShape = std::to_array<MenuItem>({
    insert("mnuVertex", "Vertex", "Vertex "),
    insert("mnuUV", "uv", "uv #<u> <v>"),
    insert("mnuPrelight", "prelight", "#! prelight #<red> <green> <blue>"),
    dashes("mnuseparator3"),
    insert("mnuQuad", "Quad", "Quad "),
    insert("mnuTriangle", "Triangle", "Triangle "),
    insert("mnuPolygon", "Polygon", "Polygon "),
    insert("mnuTag", "Tag", "Tag "),
    dashes("mnusep5"),
    insert("mnuBlock", "Block", "Block #<width> <height> <depth>"),
    insert("mnuSphere", "Sphere", "Sphere #<radius> <density>"),
    insert("mnuHemisphere", "Hemisphere", "Hemisphere #<radius> <density>"),
    insert("mnuCylinder", "Cylinder", "Cylinder #<height> <bottom radius> <top radius> <sides>"),
    insert("mnuCone", "Cone", "Cone #<height> <radius> <sides>"),
    insert("mnuDisc", "Disc", "Disc #<height> <radius> <sides>"),
});

// "Material": surface statements. The runs of blanks before a trailing
// comment are part of the text.
constexpr std::array kMaterial = std::to_array<MenuItem>({
    insert("mnuColor", "Color", "Color #<red> <green> <blue>"),
    insert("mnuSurface", "Surface", "Surface #<ambient> <diffuse> <specular>"),
    insert("mnuTexture", "Texture", "Texture #<name> #[mask <mask>]"),
    insert("mnuOpacity", "Opacity", "Opacity .5     # 0=transparent"),
    insert("mnuCollision", "Collision", "#! Collision off      # 'on' or 'off'"),
    insert("mnuLSf", "LightSampling facet", "LightSampling facet     # default, slow, hard edge."),
    insert("mnuLSv", "LightSampling vertex", "LightSampling vertex     # fast, smooth."),
    insert("mnuMMd", "MaterialMode double", "MaterialMode double"),
    insert("mnuRMMd", "RemoveMaterialMode double", "RemoveMaterialMode double"),
    insert("mnuGSw", "GeometrySampling wireframe", "GeometrySampling wireframe"),
    insert("mnuGSs", "GeometrySampling solid", "GeometrySampling solid     # default"),
    insert("mnuAxisAz", "AxisAlignment zorientx", "AxisAlignment zorientx  # facer"),
    insert("mnuAxisAn", "AxisAlignment none", "AxisAlignment none"),
    insert("mnuRUVs", "RandomUVs", "#! RandomUVs"),
    insert("mnuTextureAM", "TextureAddressMode",
           "#! TextureAddressMode clamp   # 'wrap' - default, 'mirror' - tiled(not recommended), "
           "'clamp' - for masked tex."),
    insert("mnuOpacityfix", "Opacityfix", "#! Opacityfix on   # 'on' or 'off'"),
    insert("mnuMaterial", "MaterialBegin/End", "MaterialBegin\r\n\r\nMaterialEnd"),
});

constexpr std::array kTransform = std::to_array<MenuItem>({
    insert("mnuTranslate", "Translate", "Translate #<x> <y> <z>"),
    insert("mnuScale", "Scale", "Scale #<x> <y> <z>"),
    insert("mnuRotate", "Rotate", "Rotate #<x> <y> <z> <angle>"),
    insert("mnuTransformBE", "TransformBegin/End", "TransformBegin\r\n\r\nTransformEnd"),
    insert("mnuTransform", "Transform", "Transform #<elements>"),
    insert("mnuIdentity", "Identity", "Identity"),
});

constexpr std::array kMarks = std::to_array<MenuItem>({
    insert("mnuModel", "ModelBegin/End", "ModelBegin\r\n\r\nModelEnd"),
    insert("mnuClump", "ClumpBegin/End", "ClumpBegin\r\n\r\nClumpEnd"),
    insert("mnuProto", "ProtoBegin/End", "ProtoBegin #<name>\r\n\r\nProtoEnd"),
    insert("mnuPrI", "ProtoInstance", "ProtoInstance #<name>"),
    insert("mnuPrIGeo", "ProtoInstanceGeometry", "ProtoInstanceGeometry #<name>"),
});

constexpr std::array kOptions = std::to_array<MenuItem>({
    command("mnuDC", "Delete Comments", MenuCommand::DeleteComments),
    command("mnuds", "Delete Spacers", MenuCommand::DeleteSpacers),
    command("mnuDES", "Delete Empty Strings", MenuCommand::DeleteEmptyStrings),
    switchItem("mnuAonT", "Always on top", MenuCommand::AlwaysOnTop),
    disabledCaption("mnuVer", "v1.0"),
});

constexpr std::array<Menu, 5> kMenus = {{
    {"mnu_comm", "Shape", kShape},
    {"mnuseparator", "Material", kMaterial},
    {"mnuseparator1", "Transform", kTransform},
    {"mnuSepar4", "Marks", kMarks},
    {"mnuService", "Options", kOptions},
}};

// Qt reads "&" in a caption as an access-key marker; the menus have none.
constexpr bool noAmpersands()
{
    for (const Menu &menu : kMenus) {
        if (menu.caption.find('&') != std::string_view::npos)
            return false;
        for (const MenuItem &item : menu.items)
            if (item.caption.find('&') != std::string_view::npos)
                return false;
    }
    return true;
}
static_assert(noAmpersands(), "a caption would gain an access key");


// Command items, and only they, run a command; each command has exactly one item.
constexpr bool commandsMatchItems()
{
    for (const Menu &menu : kMenus)
        for (const MenuItem &item : menu.items)
            if (item.command.has_value() != (item.kind == ItemKind::Command))
                return false;
    for (const MenuCommand command : {MenuCommand::DeleteComments, MenuCommand::DeleteSpacers,
                                      MenuCommand::DeleteEmptyStrings, MenuCommand::AlwaysOnTop}) {
        int items = 0;
        for (const Menu &menu : kMenus)
            for (const MenuItem &item : menu.items)
                items += item.command == command;
        if (items != 1)
            return false;
    }
    return true;
}
static_assert(commandsMatchItems(), "an item and its command do not match");

} // namespace

std::span<const Menu> menuTable()
{
    return kMenus;
}

const MenuItem *findItem(std::string_view controlName)
{
    for (const Menu &menu : kMenus)
        for (const MenuItem &item : menu.items)
            if (item.controlName == controlName)
                return &item;
    return nullptr;
}

std::string_view controlNameOf(MenuCommand command)
{
    for (const Menu &menu : kMenus)
        for (const MenuItem &item : menu.items)
            if (item.command == command)
                return item.controlName;
    return {};
}

} // namespace templates
