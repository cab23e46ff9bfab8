// Exports read back as other programs read them: triangles, bounds in
// metres, materials, textures and masks, the same bytes every time.
#include <QTemporaryDir>

#include "convert/conversion.h"
#include "support/archive.h"
#include "support/exports.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/testmain.h"

using namespace orvane_test;
using convert::Format;

namespace {

// One textured quad (UVs from the image's top left) in a clump.
QString quad(const QString &material, const QString &vertexTail = {}, const QString &faceTail = {})
{
    return QStringLiteral("ModelBegin\nClumpBegin\n%1\nVertex 0 0 0 UV 0 1 %2\nVertex 1 0 0 UV 1 1\n"
                          "Vertex 1 1 0 UV 1 0\nVertex 0 1 0 UV 0 0\nQuad 1 2 3 4 %3\nClumpEnd\nModelEnd\n")
        .arg(material, vertexTail, faceTail);
}

// wood.jpg, paint.bmp and the mask m (m.bmp in m.zip: black left, white right).
void writeTextures(const QDir &folder)
{
    writeFile(folder.filePath("wood.jpg"), imageBytes(filled({4, 2}, Qt::red), "JPEG"));
    writeFile(folder.filePath("paint.bmp"), imageBytes(filled({4, 2}, Qt::blue), "BMP"));
    makeArchive(folder.filePath("m.zip"), {{"m.bmp", imageBytes(halfMask(), "BMP")}});
}

convert::ExportResult exportTo(const QString &script, const QDir &folder, const QString &fileName, Format format)
{
    return convert::exportScript(script, {folder.path()}, folder.filePath(fileName), format, {});
}

QStringList filesIn(const QDir &folder)
{
    return folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// What the first material and primitive of a glTF file say, by name.
QMap<QString, QString> describe(const tinygltf::Model &model, const QDir &folder)
{
    QMap<QString, QString> said;
    const tinygltf::Material &material = model.materials.at(0);
    said["alphaMode"] = QString::fromStdString(material.alphaMode);
    said["cutoff"] = QString::number(material.alphaCutoff);
    said["doubleSided"] = material.doubleSided ? "true" : "false";
    said["alpha"] = QString::number(material.pbrMetallicRoughness.baseColorFactor[3]);
    said["red"] = QString::number(material.pbrMetallicRoughness.baseColorFactor[0], 'f', 3);
    said["roughness"] = QString::number(material.pbrMetallicRoughness.roughnessFactor);
    if (const int texture = material.pbrMetallicRoughness.baseColorTexture.index; texture >= 0) {
        const tinygltf::Texture &gltfTexture = model.textures.at(size_t(texture));
        const tinygltf::Image &image = model.images.at(size_t(gltfTexture.source));
        said["image"] = QString::fromStdString(image.mimeType);
        said["imageAlpha"] = QStringLiteral("%1 %2").arg(image.image[3]).arg(image.image[size_t(4 * image.width - 1)]);
        const tinygltf::BufferView &view = model.bufferViews.at(size_t(image.bufferView));
        const QByteArray bytes(reinterpret_cast<const char *>(model.buffers[0].data.data() + view.byteOffset),
                               qsizetype(view.byteLength));
        said["sameBytes"] = bytes == readFile(folder.filePath("wood.jpg")) ? "yes" : "no";
        said["wrap"] = QString::number(model.samplers.at(size_t(gltfTexture.sampler)).wrapS);
    }
    QStringList attributes, tags;
    const tinygltf::Primitive &primitive = model.meshes.at(0).primitives.at(0);
    for (const auto &attribute : primitive.attributes)
        attributes << QString::fromStdString(attribute.first);
    said["attributes"] = attributes.join(u' ');
    for (const tinygltf::Primitive &each : model.meshes.at(0).primitives)
        tags << (each.extras.Has("tag") ? QString::number(each.extras.Get("tag").GetNumberAsInt()) : "none");
    said["tags"] = tags.join(u' ');
    const tinygltf::Value &node = model.nodes.at(0).extras;
    said["axis"] = node.Has("axisAlignment") ? QString::fromStdString(node.Get("axisAlignment").Get<std::string>()) : "none";
    return said;
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void gltfMaterials_data();
    void gltfMaterials();
    void objMaterials();
    void missingTextureIsLeftOut();
    void sameInputSameBytes_data();
    void sameInputSameBytes();
    void archiveInput();
};

void ExportTest::formats_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("glb") << Format::Glb << "box.glb" << QStringList{"box.glb"};
    QTest::newRow("gltf, .bin beside") << Format::Gltf << "my box.gltf" << QStringList{"my box.gltf", "my_box.bin"};
    QTest::newRow("obj, .mtl beside") << Format::Obj << "box.obj" << QStringList{"box.mtl", "box.obj"};
}

// A block 0.2 x 0.4 x 0.6 units moved 1 unit along x: 12 triangles, and in
// metres from (9, -2, -3) to (11, 2, 3). Nothing else is left in the folder.
void ExportTest::formats()
{
    QFETCH(Format, format);
    QFETCH(QString, fileName);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString script = QStringLiteral("ModelBegin\nClumpBegin\nTranslate 1 0 0\nBlock .2 .4 .6\nClumpEnd\nModelEnd\n");
    const convert::ExportResult result = exportTo(script, folder, fileName, format);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(filesIn(folder), files);
    QCOMPARE(result.written.last(), folder.filePath(fileName));
    QPair<QVector3D, QVector3D> bounds;
    if (format == Format::Obj) {
        const ObjFile obj = readObj(folder.filePath(fileName));
        QCOMPARE(obj.faces, 12);
        QCOMPARE(obj.library, QStringLiteral("box.mtl"));
        bounds = objBounds(obj);
    } else {
        QString error;
        const tinygltf::Model model = loadGltf(folder.filePath(fileName), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(gltfTriangles(model), 12);
        bounds = gltfBounds(model);
    }
    QVERIFY2((bounds.first - QVector3D(9, -2, -3)).length() < 1e-4f, qPrintable(fileName));
    QVERIFY2((bounds.second - QVector3D(11, 2, 3)).length() < 1e-4f, qPrintable(fileName));
}

void ExportTest::gltfMaterials_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString masked = quad("Texture wood Mask m");
    QTest::newRow("texture and mask: cut out") << masked << "alphaMode" << "MASK";
    QTest::newRow("cut where viewers cut") << masked << "cutoff" << "0.2";
    QTest::newRow("the mask is the alpha") << masked << "imageAlpha" << "0 255";
    QTest::newRow("masked: a PNG") << masked << "image" << "image/png";
    QTest::newRow("JPEG embedded as it is") << quad("Texture wood") << "sameBytes" << "yes";
    QTest::newRow("JPEG stays JPEG") << quad("Texture wood") << "image" << "image/jpeg";
    QTest::newRow("texture replaces the colour") << quad("Color .5 0 0\nTexture wood") << "red" << "1.000";
    QTest::newRow("BMP made PNG") << quad("Texture paint") << "image" << "image/png";
    QTest::newRow("opacity blends") << quad("Opacity .5") << "alphaMode" << "BLEND";
    QTest::newRow("opacity is the alpha") << quad("Opacity .5") << "alpha" << "0.5";
    QTest::newRow("opaque") << quad("Color 1 1 1") << "alphaMode" << "OPAQUE";
    QTest::newRow("sRGB colour made linear") << quad("Color .5 0 0\nSurface .5 .5 0") << "red" << "0.214";
    QTest::newRow("black and unlit shows grey") << quad("") << "red" << "0.448";
    QTest::newRow("specular 1: roughness .5") << quad("Surface .5 .5 1") << "roughness" << "0.5";
    QTest::newRow("both sides") << quad("MaterialMode double") << "doubleSided" << "true";
    QTest::newRow("front side") << quad("Color 1 1 1") << "doubleSided" << "false";
    QTest::newRow("wrap") << quad("Texture wood") << "wrap" << "10497";
    QTest::newRow("clamp") << quad("Texture wood\n#! TextureAddressMode clamp") << "wrap" << "33071";
    QTest::newRow("mirror") << quad("Texture wood\n#! TextureAddressMode mirror") << "wrap" << "33648";
    QTest::newRow("prelight: vertex colours") << quad("", "#! Prelight 1 0 0") << "attributes"
                                              << "COLOR_0 NORMAL POSITION TEXCOORD_0";
    QTest::newRow("no UVs, no texture coordinates")
        << QStringLiteral("Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n") << "attributes" << "NORMAL POSITION";
    QTest::newRow("a sign face: a primitive of its own")
        << quad("", {}, "Tag 100") + "ClumpBegin\nBlock 1 1 1\nClumpEnd\n" << "tags" << "none 100";
    QTest::newRow("the object faces the viewer") << quad("AxisAlignment zorienty") << "axis" << "zorienty";
}

void ExportTest::gltfMaterials()
{
    QFETCH(QString, script);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeTextures(folder);
    const convert::ExportResult result = exportTo(script, folder, "quad.glb", Format::Glb);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.warnings, QStringList());
    QString error;
    const tinygltf::Model model = loadGltf(folder.filePath("quad.glb"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(describe(model, folder).value(key), expected);
}

// The texture copied beside as it is, the mask written beside as a picture,
// the opacity, and v counted from the bottom.
void ExportTest::objMaterials()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeTextures(folder);
    const QDir out(dir.filePath("out"));
    const QString script = quad("Texture wood Mask m\nOpacity .5") + quad("Texture wood Mask m");
    const convert::ExportResult result = convert::exportScript(script, {folder.path()}, out.filePath("crate.obj"),
                                                               Format::Obj, {});
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(filesIn(out), QStringList({"crate.mtl", "crate.obj", "crate_m_mask.png", "crate_wood.jpg"}));
    const ObjFile obj = readObj(out.filePath("crate.obj"));
    QCOMPARE(obj.materials, QStringList({"wood", "wood_2"}));
    QCOMPARE(obj.uvs.first(), QVector2D(0, 0)); // UV 0 1: the image's bottom left
    const auto mtl = readMtl(out.filePath("crate.mtl"));
    QCOMPARE(mtl["wood"]["d"], QStringLiteral("0.5"));
    QCOMPARE(mtl["wood_2"]["d"], QStringLiteral("1"));
    QCOMPARE(mtl["wood"]["map_Kd"], QStringLiteral("crate_wood.jpg"));
    QCOMPARE(mtl["wood_2"]["map_d"], QStringLiteral("crate_m_mask.png"));
    QCOMPARE(readFile(out.filePath("crate_wood.jpg")), readFile(folder.filePath("wood.jpg")));
    const QImage mask(out.filePath("crate_m_mask.png"));
    QCOMPARE(mask.size(), QSize(2, 1));
    QCOMPARE(qGray(mask.pixel(0, 0)), 0);
    QCOMPARE(qGray(mask.pixel(1, 0)), 255);
}

void ExportTest::missingTextureIsLeftOut()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const convert::ExportResult result = exportTo(quad("Texture nowhere Mask m"), folder, "q.glb", Format::Glb);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.warnings, QStringList{"texture nowhere not found"});
    QString error;
    const tinygltf::Model model = loadGltf(folder.filePath("q.glb"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(gltfTriangles(model), 2);
    QVERIFY(model.images.empty());
    QCOMPARE(model.materials.at(0).alphaMode, std::string("OPAQUE"));
}

void ExportTest::sameInputSameBytes_data()
{
    QTest::addColumn<Format>("format");
    QTest::newRow("glb") << Format::Glb;
    QTest::newRow("gltf") << Format::Gltf;
    QTest::newRow("obj") << Format::Obj;
}

void ExportTest::sameInputSameBytes()
{
    QFETCH(Format, format);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeTextures(folder);
    const QString script = readScriptText(dataFile("crate.rwx")) + quad("Texture wood Mask m", "#! Prelight 1 0 0", "Tag 200");
    const QString name = "crate." + convert::formatName(format);
    QStringList files[2];
    for (const QString run : {"a", "b"}) {
        QVERIFY(folder.mkdir(run));
        const convert::ExportResult result = convert::exportScript(script, {folder.path()}, folder.filePath(run + "/" + name),
                                                                   format, {});
        QVERIFY2(result.ok, qPrintable(result.error));
        for (const QString &file : filesIn(QDir(folder.filePath(run))))
            files[run == QStringLiteral("b")] << file + ' ' + sha256Of(folder.filePath(run + "/" + file));
    }
    QVERIFY(!files[0].isEmpty());
    QCOMPARE(files[1], files[0]);
}

// An object archive as an object path ships it: models/house.zip holding
// the script (the first .rwx entry, any letter case), its textures in
// textures/ beside models/.
void ExportTest::archiveInput()
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(root.mkpath("models") && root.mkpath("textures"));
    writeTextures(QDir(root.filePath("textures")));
    makeArchive(root.filePath("models/house.zip"), {{"readme.txt", "not this"},
                                                     {"House.RWX", quad("Texture wood").toUtf8()},
                                                     {"other.rwx", "ModelBegin\nBlock 1 1 1\nModelEnd\n"}});
    const convert::ExportResult result = convert::convertInput(root.filePath("models/house.zip"), {}, Format::Glb);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.written, QStringList{root.filePath("models/house.glb")});
    QString error;
    const tinygltf::Model model = loadGltf(root.filePath("models/house.glb"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(gltfTriangles(model), 2);
    QCOMPARE(model.images.size(), size_t(1));
    QCOMPARE(model.nodes.at(0).name, std::string("house"));
}

ORVANE_CORE_TEST_MAIN(ExportTest)
#include "tst_export.moc"
