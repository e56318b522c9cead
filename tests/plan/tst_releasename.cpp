#include <QtTest>

#include "imagelimits.h"
#include "imagepiece.h"
#include "pairnames.h"
#include "releasename.h"

namespace {
QByteArray field(const QByteArray &text, int size)
{
    QByteArray bytes = text;
    bytes.resize(size, '\0');
    return bytes;
}

// The name of the pair's image (without extension), its fields read out of the two pieces as the
// build reads them.
QString pairName(const QString &nameTemplate, const ImagePiece &loraMac, const ImagePiece &app,
                 qint64 regionOffset, qint64 fwOffset)
{
    LoRaJob job;
    job.nameTemplate = nameTemplate;
    job.regionFieldOffset = regionOffset;
    job.fwFieldOffset = fwOffset;
    return namePair(job, loraMac, app).baseName;
}
} // namespace

class ReleaseNameTest : public QObject {
    Q_OBJECT

private slots:
    void splitsNameFields_data();
    void splitsNameFields();
    void fillsTemplates_data();
    void fillsTemplates();
    void readsFieldsOutOfFiles();
    void unreadableFilesGiveEmptyFields();
    void keepsNamesInsideTheDirectory_data();
    void keepsNamesInsideTheDirectory();
    void fieldCutShortIsJudgedByItsBytes_data();
    void fieldCutShortIsJudgedByItsBytes();
};

void ReleaseNameTest::splitsNameFields_data()
{
    QTest::addColumn<QByteArray>("loraMacField");
    QTest::addColumn<QByteArray>("firmwareField");
    QTest::addColumn<bool>("hasVersion");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("region");
    QTest::addColumn<QString>("firmware");
    QTest::newRow("dotted version") << field("1.0.4RU864", 32) << field("App1", 16) << true << "1.0.4"
                                    << "RU864"
                                    << "App1";
    QTest::newRow("lettered version") << field("V2.3EU868", 32) << field("Sensor", 16) << true << "V2.3"
                                      << "EU868"
                                      << "Sensor";
    QTest::newRow("full fields") << QByteArray("1.0.4ABCDEFGHIJKLMNOPQRSTUVWXYZA")
                                 << QByteArray("FIRMWARE_0123456") << true << "1.0.4"
                                 << "ABCDEFGHIJKLMNOPQRSTUVWXYZA"
                                 << "FIRMWARE_0123456";
    QTest::newRow("last digit before text splits")
        << field("1.2AS923-1_X", 32) << field("f", 16) << true << "1.2AS923-1"
        << "_X"
        << "f";
    QTest::newRow("no version") << field("EU", 32) << field("fw", 16) << false << ""
                                << "EU"
                                << "fw";
    QTest::newRow("version only") << field("1.0.4", 32) << field("x", 16) << true << "1.0"
                                  << ".4"
                                  << "x";
    QTest::newRow("all zero") << QByteArray(32, '\0') << QByteArray(16, '\0') << false << ""
                              << ""
                              << "";
    QTest::newRow("short fields") << QByteArray("2.0US915") << QByteArray("A") << true << "2.0"
                                  << "US915"
                                  << "A";
}

void ReleaseNameTest::splitsNameFields()
{
    QFETCH(QByteArray, loraMacField);
    QFETCH(QByteArray, firmwareField);
    QFETCH(bool, hasVersion);
    QFETCH(QString, version);
    QFETCH(QString, region);
    QFETCH(QString, firmware);
    const ReleaseNameFields fields = parseReleaseNameFields(loraMacField, firmwareField);
    QCOMPARE(fields.hasVersion, hasVersion);
    QCOMPARE(fields.version, version);
    QCOMPARE(fields.region, region);
    QCOMPARE(fields.firmware, firmware);
}

void ReleaseNameTest::fillsTemplates_data()
{
    QTest::addColumn<QString>("nameTemplate");
    QTest::addColumn<QByteArray>("loraMacField");
    QTest::addColumn<QString>("name");
    const QByteArray ru = field("1.0.4RU864", 32);
    QTest::newRow("kimo template") << "kimo lora region fw" << ru << "1.0.4_RU864_App1";
    QTest::newRow("without kimo") << "lora region fw" << ru << "1.0.4_RU864_App1";
    QTest::newRow("default template") << "region_lora_fw" << ru << "RU864_1.0.4_App1";
    QTest::newRow("any case") << "KIMO LoRa REGION Fw" << ru << "1.0.4_RU864_App1";
    QTest::newRow("kimo without blank stays") << "kimo_lora" << ru << "kimo_1.0.4";
    QTest::newRow("lettered version")
        << "release lora region fw" << field("V2.3EU868", 32) << "release_V2.3_EU868_App1";
    QTest::newRow("lora kept without version") << "lora region" << field("EU", 32) << "lora_EU";
    QTest::newRow("no tokens") << "final image" << ru << "final_image";
    QTest::newRow("into a folder") << "2024/region_lora_fw" << ru << "2024/RU864_1.0.4_App1";
}

void ReleaseNameTest::fillsTemplates()
{
    QFETCH(QString, nameTemplate);
    QFETCH(QByteArray, loraMacField);
    QFETCH(QString, name);
    QCOMPARE(fillReleaseTemplate(nameTemplate, parseReleaseNameFields(loraMacField, field("App1", 16))),
             name);
}

void ReleaseNameTest::readsFieldsOutOfFiles()
{
    QTemporaryDir dir;
    QByteArray loraMac(0x400, '\x55');
    loraMac.replace(0x100, 32, field("1.0.4RU864", 32));
    QByteArray app(0x200, '\x66');
    app.replace(0x180, 16, field("App1", 16));
    const QString loraMacPath = dir.filePath(QStringLiteral("lora.bin"));
    const QString appPath = dir.filePath(QStringLiteral("app.bin"));
    for (const auto &[path, bytes] : {std::pair{loraMacPath, loraMac}, std::pair{appPath, app}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    qint64 heldBudget = LargestImageSize;
    const Result<ImagePiece> loraMacPiece = openImagePiece(loraMacPath, heldBudget);
    const Result<ImagePiece> appPiece = openImagePiece(appPath, heldBudget);
    QVERIFY(loraMacPiece && appPiece);
    QCOMPARE(
        pairName(QStringLiteral("kimo lora region fw"), loraMacPiece.value(), appPiece.value(), 0x100, 0x180),
        QStringLiteral("1.0.4_RU864_App1"));
}

void ReleaseNameTest::unreadableFilesGiveEmptyFields()
{
    // Pieces whose bytes cannot be read: no file open, none held.
    ImagePiece loraMac;
    loraMac.sourcePath = QStringLiteral("/nonexistent/a");
    loraMac.fileSize = 0x400;
    ImagePiece app;
    app.sourcePath = QStringLiteral("/nonexistent/b");
    app.fileSize = 0x200;
    QCOMPARE(pairName(QStringLiteral("lora region fw"), loraMac, app, 0, 0), QStringLiteral("lora__"));
}

void ReleaseNameTest::keepsNamesInsideTheDirectory_data()
{
    QTest::addColumn<QByteArray>("loraMacField");
    QTest::addColumn<QByteArray>("firmwareField");
    QTest::addColumn<QString>("name");
    QTest::newRow("parent path") << field("1.0../../etc", 32) << field("x", 16) << "1.0.._..__etc_x";
    QTest::newRow("backslash") << field("1.0..\\..\\win", 32) << field("x", 16) << "1.0.._..__win_x";
    QTest::newRow("windows forbidden") << field("1.0<>:\"|?*", 32) << field("a/b", 16) << "1.0_________a_b";
    QTest::newRow("control bytes") << field("1.0\x01\x1f\x7f", 32) << field("\tx", 16) << "1.0______x";
    // U+0085 (NEL), a C1 control, as UTF-8.
    QTest::newRow("C1 control") << field("1.0EU\xc2\x85X", 32) << field("x", 16) << "1.0_EU_X_x";
}

void ReleaseNameTest::keepsNamesInsideTheDirectory()
{
    QFETCH(QByteArray, loraMacField);
    QFETCH(QByteArray, firmwareField);
    QFETCH(QString, name);
    const QString built = fillReleaseTemplate(QStringLiteral("lora region fw"),
                                              parseReleaseNameFields(loraMacField, firmwareField));
    QCOMPARE(built, name);
    QVERIFY(!built.contains(QLatin1Char('/')));
    QVERIFY(!built.contains(QLatin1Char('\\')));
}

void ReleaseNameTest::fieldCutShortIsJudgedByItsBytes_data()
{
    QTest::addColumn<QByteArray>("bytes"); // what the file holds from the field's offset to its end
    QTest::addColumn<QString>("reason");   // empty: a name
    QTest::newRow("a whole name") << QByteArray("1.0.4RU864") << QString();
    QTest::newRow("nothing") << QByteArray() << "поле длиной 32 байт начинается за концом файла";
    QTest::newRow("erased") << QByteArray(5, '\xFF')
                            << "поле стерто (все байты FF) (поле длиной 32 байт обрезано";
    QTest::newRow("not text") << QByteArray("1.0\x01") << "не являются печатаемым текстом";
}

// A LoRaMAC file that ends in its name, without the padding after it, is named from those bytes.
void ReleaseNameTest::fieldCutShortIsJudgedByItsBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString problem =
        nameFieldProblem(QStringLiteral("lora/x.bin"), 0x100, bytes, LoRaMacNameFieldSize);
    QVERIFY2(reason.isEmpty() ? problem.isEmpty() : problem.contains(reason), qPrintable(problem));
}

QTEST_GUILESS_MAIN(ReleaseNameTest)
#include "tst_releasename.moc"
