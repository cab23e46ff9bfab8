#include "templates/menubar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <array>
#include <utility>

namespace templates {
namespace {

using K = ItemKind;

constexpr std::string_view kDashes = "-------------";

// "Shape": geometry statements. Texts that end in a blank leave room for the
// numbers that follow; "#<...>" hints name the parameters.
constexpr std::array kShape = std::to_array<MenuItem>({
    {"mnuVertex", "Vertex", K::Template, false, "Vertex "},
    {"mnuUV", "uv", K::Template, false, "uv #<u> <v>"},
    {"mnuPrelight", "prelight", K::Template, false, "#! prelight #<red> <green> <blue>"},
    {"mnuseparator3", kDashes, K::Separator, false, {}},
    {"mnuQuad", "Quad", K::Template, false, "Quad "},
    {"mnuTriangle", "Triangle", K::Template, false, "Triangle "},
    {"mnuPolygon", "Polygon", K::Template, false, "Polygon "},
    {"mnuTag", "Tag", K::Template, false, "Tag "},
    {"mnusep5", kDashes, K::Separator, false, {}},
    {"mnuBlock", "Block", K::Template, false, "Block #<width> <height> <depth>"},
    {"mnuSphere", "Sphere", K::Template, false, "Sphere #<radius> <density>"},
    {"mnuHemisphere", "Hemisphere", K::Template, false, "Hemisphere #<radius> <density>"},
    {"mnuCylinder", "Cylinder", K::Template, false,
     "Cylinder #<height> <bottom radius> <top radius> <sides>"},
    {"mnuCone", "Cone", K::Template, false, "Cone #<height> <radius> <sides>"},
    {"mnuDisc", "Disc", K::Template, false, "Disc #<height> <radius> <sides>"},
});

// "Material": surface statements. The runs of blanks before a trailing
// comment are part of the text.
constexpr std::array kMaterial = std::to_array<MenuItem>({
    {"mnuColor", "Color", K::Template, false, "Color #<red> <green> <blue>"},
    {"mnuSurface", "Surface", K::Template, false, "Surface #<ambient> <diffuse> <specular>"},
    {"mnuTexture", "Texture", K::Template, false, "Texture #<name> #[mask <mask>]"},
    {"mnuOpacity", "Opacity", K::Template, false, "Opacity .5     # 0=transparent"},
    {"mnuCollision", "Collision", K::Template, false, "#! Collision off      # 'on' or 'off'"},
    {"mnuLSf", "LightSampling facet", K::Template, false,
     "LightSampling facet     # default, slow, hard edge."},
    {"mnuLSv", "LightSampling vertex", K::Template, false, "LightSampling vertex     # fast, smooth."},
    {"mnuMMd", "MaterialMode double", K::Template, false, "MaterialMode double"},
    {"mnuRMMd", "RemoveMaterialMode double", K::Template, false, "RemoveMaterialMode double"},
    {"mnuGSw", "GeometrySampling wireframe", K::Template, false, "GeometrySampling wireframe"},
    {"mnuGSs", "GeometrySampling solid", K::Template, false, "GeometrySampling solid     # default"},
    {"mnuAxisAz", "AxisAlignment zorientx", K::Template, false, "AxisAlignment zorientx  # facer"},
    {"mnuAxisAn", "AxisAlignment none", K::Template, false, "AxisAlignment none"},
    {"mnuRUVs", "RandomUVs", K::Template, false, "#! RandomUVs"},
    {"mnuTextureAM", "TextureAddressMode", K::Template, false,
     "#! TextureAddressMode clamp   # 'wrap' - default, 'mirror' - tiled(not recommended), "
     "'clamp' - for masked tex."},
    {"mnuOpacityfix", "Opacityfix", K::Template, false, "#! Opacityfix on   # 'on' or 'off'"},
    {"mnuMaterial", "MaterialBegin/End", K::Template, false, "MaterialBegin\r\n\r\nMaterialEnd"},
});

constexpr std::array kTransform = std::to_array<MenuItem>({
    {"mnuTranslate", "Translate", K::Template, false, "Translate #<x> <y> <z>"},
    {"mnuScale", "Scale", K::Template, false, "Scale #<x> <y> <z>"},
    {"mnuRotate", "Rotate", K::Template, false, "Rotate #<x> <y> <z> <angle>"},
    {"mnuTransformBE", "TransformBegin/End", K::Template, false,
     "TransformBegin\r\n\r\nTransformEnd"},
    {"mnuTransform", "Transform", K::Template, false, "Transform #<elements>"},
    {"mnuIdentity", "Identity", K::Template, false, "Identity"},
});

constexpr std::array kMarks = std::to_array<MenuItem>({
    {"mnuModel", "ModelBegin/End", K::Template, false, "ModelBegin\r\n\r\nModelEnd"},
    {"mnuClump", "ClumpBegin/End", K::Template, false, "ClumpBegin\r\n\r\nClumpEnd"},
    {"mnuProto", "ProtoBegin/End", K::Template, false, "ProtoBegin #<name>\r\n\r\nProtoEnd"},
    {"mnuPrI", "ProtoInstance", K::Template, false, "ProtoInstance #<name>"},
    {"mnuPrIGeo", "ProtoInstanceGeometry", K::Template, false, "ProtoInstanceGeometry #<name>"},
});

constexpr std::array kOptions = std::to_array<MenuItem>({
    {"mnuDC", "Delete Comments", K::Command, false, {}},
    {"mnuds", "Delete Spacers", K::Command, false, {}},
    {"mnuDES", "Delete Empty Strings", K::Command, false, {}},
    {"mnuAonT", "Always on top", K::Command, true, {}},
    {"mnuVer", "v1.0", K::Caption, false, {}},
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

void buildMenuBar(QMenuBar *bar,
                  std::function<void(const QString &text)> insertTemplate,
                  std::function<void(const QString &controlName)> runCommand)
{
    if (!bar)
        return;
    for (const Menu &menu : kMenus) {
        QMenu *qmenu = bar->addMenu(toQString(menu.caption));
        qmenu->setObjectName(toQString(menu.controlName));
        qmenu->menuAction()->setMenuRole(QAction::NoRole);
        for (const MenuItem &item : menu.items) {
            QAction *action = qmenu->addAction(toQString(item.caption));
            action->setObjectName(toQString(item.controlName));
            // Keep every item where it stands on platforms that move
            // actions by their captions (e.g. "About", "Preferences").
            action->setMenuRole(QAction::NoRole);
            action->setEnabled(item.enabled());
            action->setCheckable(item.checkable);
            action->setChecked(false);

            if (item.kind == ItemKind::Template && insertTemplate) {
                QObject::connect(action, &QAction::triggered, action,
                                 [insertTemplate, text = toQString(item.text)] {
                                     insertTemplate(text);
                                 });
            } else if (item.kind == ItemKind::Command && runCommand) {
                QObject::connect(action, &QAction::triggered, action,
                                 [runCommand, name = toQString(item.controlName)] {
                                     runCommand(name);
                                 });
            }
        }
    }
}

} // namespace templates
