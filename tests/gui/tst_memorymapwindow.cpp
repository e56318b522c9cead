#include <QtTest>
#include <QtWidgets>

#include "mapcolours.h"
#include "memorymapbar.h"
#include "memorymapwindow.h"
#include "testfiles.h"
#include "testplatform.h"
#include "windowtest.h"

using namespace TestFiles;

namespace {

// The map window, once it has been opened.
QWidget *mapWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("MemoryMapWindow") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

QStringList firstColumn(const QTableWidget *table)
{
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row)
        cells << table->item(row, 0)->text();
    return cells;
}

// Every file under `dir` with its size and time of change: what a look must leave as it was.
QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files << QStringLiteral("%1 %2 %3")
                     .arg(info.filePath())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch());
    }
    files.sort();
    return files;
}

// Binary tab, offsets mode, the given pieces ticked in slots 1.. at the given offsets.
void setUpBinary(WindowTest &t, const QList<QPair<int, QString>> &pieces)
{
    const QString dir = t.workDir.path();
    t.openTab(1);
    t.tick(QStringLiteral("BinarySequentAssenbl"), true);
    for (int slot = 1; slot <= 6; ++slot)
        t.tick(QStringLiteral("BinaryCheckFile%1").arg(slot), slot <= pieces.size());
    for (int slot = 1; slot <= pieces.size(); ++slot) {
        t.chooseFile(
            QStringLiteral("BinarySearchButtonFile%1").arg(slot),
            write(dir, QStringLiteral("f%1.bin").arg(slot), pattern(pieces.at(slot - 1).first, slot)));
        t.type(QStringLiteral("BinaryOffsetFile%1").arg(slot), pieces.at(slot - 1).second);
    }
    t.type(QStringLiteral("BinaryTemplateNameRelease"), QStringLiteral("release"));
    t.chooseDirectory(QStringLiteral("BinarySearchRelesae"), dir + QStringLiteral("/out"));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));
}

// Some of the label is drawn in the red of warnings (plain text is grey to black).
bool showsWarningColour(QWidget *label)
{
    const QImage picture = label->grab().toImage();
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            if (colour.red() - qMax(colour.green(), colour.blue()) > 50)
                return true;
        }
    }
    return false;
}

} // namespace

class MemoryMapWindowTest : public QObject {
    Q_OBJECT

private slots:
    void typedOverlapIsDrawnAndNamedWithoutABuild();
    void imageTooLargeForTheFlashAsksBeforeBuilding();
    void overlapErrorOpensTheMap();
    void flashSizeShowsWhatItUnderstood_data();
    void flashSizeShowsWhatItUnderstood();
    void mapStaysOnScreenWhereverTheWindowIs();
    void mapStaysOnScreenOfEverySizeAndScale_data();
    void mapStaysOnScreenOfEverySizeAndScale();
};

void MemoryMapWindowTest::typedOverlapIsDrawnAndNamedWithoutABuild()
{
    WindowTest t;
    QVERIFY(t.isValid());
    setUpBinary(t,
                {{0x100, "0"}, {0x100, "200"}, {0x40, "400"}, {0x40, "500"}, {0x40, "600"}, {0x40, "700"}});
    const QStringList before = filesUnder(t.workDir.path());

    t.click(QStringLiteral("MemoryMapButton"));
    QWidget *window = mapWindow();
    QVERIFY(window);
    auto *table = UserActions::widget<QTableWidget>(window, QStringLiteral("MemoryMapTable"));
    QCOMPARE(firstColumn(table).mid(0, 3), QStringList({"f1.bin", "пусто", "f2.bin"}));

    // The second piece moved into the first: no build, the map follows the typing.
    t.type(QStringLiteral("BinaryOffsetFile2"), QStringLiteral("80"));
    QTRY_VERIFY(firstColumn(table).contains(QStringLiteral("пересечение: f1.bin и f2.bin")));
    const int overlapRow = int(firstColumn(table).indexOf(QStringLiteral("пересечение: f1.bin и f2.bin")));
    QCOMPARE(table->item(overlapRow, 1)->text(), QStringLiteral("0x00000080"));
    QCOMPARE(table->item(overlapRow, 2)->text(), QStringLiteral("0x000000FF"));

    auto *bar = UserActions::widget<MemoryMapBar>(window, QStringLiteral("MemoryMapBar"));
    const QImage picture = bar->grab().toImage();
    const int y = int(bar->barRect().top()) + 3; // above the names written into the bar
    const int inside = int((bar->xOf(0x80) + bar->xOf(0x100)) / 2);
    QCOMPARE(picture.pixelColor(inside, y), QColor(MapColours::overlap()));
    const int firstPieceOnly = int((bar->xOf(0) + bar->xOf(0x80)) / 2);
    QCOMPARE(picture.pixelColor(firstPieceOnly, y), QColor(MapColours::piece(0)));

    // How long a redraw of six pieces takes, reading the tab and painting (shown, not judged).
    auto *map = dynamic_cast<MemoryMapWindow *>(window);
    QVERIFY(map);
    QElapsedTimer timer;
    timer.start();
    constexpr int Rounds = 20;
    for (int round = 0; round < Rounds; ++round) {
        map->refresh();
        window->repaint();
    }
    qInfo("redraw of the map of six pieces: %.2f ms", double(timer.nsecsElapsed()) / 1e6 / Rounds);

    QCOMPARE(filesUnder(t.workDir.path()), before);
    QCOMPARE(t.dialogs.records.size(), 7); // the six files and the directory chosen: nothing said
}

void MemoryMapWindowTest::imageTooLargeForTheFlashAsksBeforeBuilding()
{
    WindowTest t;
    QVERIFY(t.isValid());
    setUpBinary(t, {{0x100, "0"}});
    t.click(QStringLiteral("MemoryMapButton"));
    QWidget *window = mapWindow();
    QVERIFY(window);
    auto *flash = UserActions::widget<QComboBox>(window, QStringLiteral("MemoryMapFlashSize"));
    UserActions::typeInto(flash->lineEdit(), QStringLiteral("FF"));
    auto *summary = UserActions::widget<QLabel>(window, QStringLiteral("MemoryMapSummary"));
    QTRY_VERIFY2(summary->text().contains(QStringLiteral("на 1 байт больше")), qPrintable(summary->text()));
    QTRY_VERIFY2(showsWarningColour(summary), qPrintable(summary->text()));
    UserActions::typeInto(flash->lineEdit(), QStringLiteral("1FF"));
    QTRY_VERIFY(!summary->text().contains(QStringLiteral("больше")));
    QTRY_VERIFY(!showsWarningColour(summary));
    UserActions::typeInto(flash->lineEdit(), QStringLiteral("FF"));

    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.records.last().call, ScriptedDialogs::Call::Ask);
    QCOMPARE(t.dialogs.records.last().title, QStringLiteral("Предупреждение!"));
    QVERIFY2(t.dialogs.records.last().text.contains(QStringLiteral("он больше на 1 байт")),
             qPrintable(t.dialogs.records.last().text));
    QVERIFY(imagesIn(t.workDir.filePath(QStringLiteral("out"))).isEmpty());

    // The question and the build come from one plan: the piece is opened once for both.
    TestPlatform::OpenCounter counter;
    const QString piece = t.workDir.filePath(QStringLiteral("f1.bin"));
    const bool counted = counter.watch(piece);
    t.dialogs.askAnswers.enqueue(true);
    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messageSummaries(), QStringList{QStringLiteral("Сборка завершена")});
    QCOMPARE(imagesIn(t.workDir.filePath(QStringLiteral("out"))).keys(), QStringList{"release.bin"});
    if (counted)
        QCOMPARE(counter.opens().value(piece), 1);

    // The size chosen is kept with the tab's settings, and only then.
    t.reopen();
    QVERIFY(read(t.workDir.filePath(QStringLiteral("config.conf")))
                .contains(TestPlatform::settingsText("[Flash]\nBinaryFlashSize=0xFF\n")));
}

void MemoryMapWindowTest::overlapErrorOpensTheMap()
{
    WindowTest t;
    QVERIFY(t.isValid());
    setUpBinary(t, {{0x100, "0"}, {0x100, "80"}});
    QVERIFY(!mapWindow());
    t.click(QStringLiteral("BinaryAssembling"));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages().first().title, QStringLiteral("Error!"));
    QWidget *window = mapWindow();
    QVERIFY(window);
    QVERIFY(firstColumn(UserActions::widget<QTableWidget>(window, QStringLiteral("MemoryMapTable")))
                .contains(QStringLiteral("пересечение: f1.bin и f2.bin")));
}

void MemoryMapWindowTest::flashSizeShowsWhatItUnderstood_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("understood"); // empty: no size
    QTest::newRow("hexadecimal bytes") << "100"
                                       << "= 256 байт";
    QTest::newRow("KiB in hexadecimal") << "0x40000"
                                        << "= 256 КиБ";
    QTest::newRow("MiB") << "2M"
                         << "= 2 МиБ";
    QTest::newRow("half typed") << "abcq" << QString();
}

void MemoryMapWindowTest::flashSizeShowsWhatItUnderstood()
{
    QFETCH(QString, typed);
    QFETCH(QString, understood);
    WindowTest t;
    QVERIFY(t.isValid());
    setUpBinary(t, {{0x100, "0"}});
    t.click(QStringLiteral("MemoryMapButton"));
    QWidget *window = mapWindow();
    QVERIFY(window);
    // "abc" first: a size, which the text typed last must not leave in force.
    auto *flash = UserActions::widget<QComboBox>(window, QStringLiteral("MemoryMapFlashSize"));
    UserActions::typeInto(flash->lineEdit(), QStringLiteral("abc"));
    UserActions::typeInto(flash->lineEdit(), typed);
    QCOMPARE(UserActions::widget<QLabel>(window, QStringLiteral("MemoryMapFlashUnderstood"))->text(),
             understood);
    const QString error = UserActions::widget<QLabel>(window, QStringLiteral("MemoryMapFlashError"))->text();
    QCOMPARE(error.isEmpty(), !understood.isEmpty());

    if (!understood.isEmpty())
        return;
    t.click(QStringLiteral("BinaryAssembling"));
    const QString named = QStringLiteral("\"Размер флеш-памяти\": \"abcq\"");
    QCOMPARE(t.dialogs.messages().size(), 1);
    QVERIFY2(t.dialogs.messages().first().text.contains(named),
             qPrintable(t.dialogs.messages().first().text));
    QVERIFY(imagesIn(t.workDir.filePath(QStringLiteral("out"))).isEmpty());
    auto *problems = UserActions::widget<QLabel>(window, QStringLiteral("MemoryMapProblems"));
    QTRY_VERIFY2(problems->text().contains(named), qPrintable(problems->text()));
}

void MemoryMapWindowTest::mapStaysOnScreenWhereverTheWindowIs()
{
    WindowTest t;
    QVERIFY(t.isValid());
    QWidget *main = t.window.get();
    const QRect available = main->screen()->availableGeometry();
    qInfo("available %dx%d", available.width(), available.height());
    const QSize size = main->frameGeometry().size();
    const int lefts[] = {available.left(), available.center().x() - size.width() / 2,
                         available.right() + 1 - size.width()};
    const int tops[] = {available.top(), available.center().y() - size.height() / 2,
                        available.bottom() + 1 - size.height()};
    for (const int left : lefts) {
        for (const int top : tops) {
            main->move(left, top);
            t.click(QStringLiteral("MemoryMapButton"));
            QWidget *map = mapWindow();
            QVERIFY(map);
            const QRect frame = map->frameGeometry();
            const QString where = QStringLiteral("window at %1,%2, map at %3,%4 %5x%6")
                                      .arg(left)
                                      .arg(top)
                                      .arg(frame.x())
                                      .arg(frame.y())
                                      .arg(frame.width())
                                      .arg(frame.height());
            QVERIFY2(available.contains(frame), qPrintable(where));
            // Where the screen has room beside the window, the map leaves the window in view.
            const QRect owner = main->frameGeometry();
            const bool room = available.right() - owner.right() > frame.width() + 8 ||
                              owner.left() - available.left() > frame.width() + 8;
            QVERIFY2(!room || !frame.intersects(owner), qPrintable(where));
            map->close();
        }
    }
}

void MemoryMapWindowTest::mapStaysOnScreenOfEverySizeAndScale_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("available"); // in device-independent pixels
    // Room beside the window on the first screen only.
    QTest::newRow("2560x1440") << QSize(2560, 1440) << "1"
                               << "2560x1440";
    QTest::newRow("1600x900 at 1.5") << QSize(1600, 900) << "1.5"
                                     << "1067x600";
    QTest::newRow("1024x768 at 1.5") << QSize(1024, 768) << "1.5"
                                     << "683x512";
}

// The test above, run again by this program under a screen of the given size and scale.
void MemoryMapWindowTest::mapStaysOnScreenOfEverySizeAndScale()
{
    QFETCH(QSize, screen);
    QFETCH(QString, scale);
    QFETCH(QString, available);
    // The offscreen platform's options are separated by colons, so a drive letter cannot be given.
    if (!TestPlatform::isPosix())
        QSKIP("the offscreen platform cannot be given a screen file by a path with a drive letter");
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QVERIFY(writeFile(config,
                      QStringLiteral("{\"screens\": [{\"name\": \"S\", \"x\": 0, \"y\": 0, \"width\": %1, "
                                     "\"height\": %2, \"logicalDpi\": 96, \"dpr\": 1}]}")
                          .arg(screen.width())
                          .arg(screen.height())
                          .toUtf8()));
    QProcess test;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    test.setProcessEnvironment(environment);
    test.setProcessChannelMode(QProcess::MergedChannels);
    test.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("mapStaysOnScreenWhereverTheWindowIs")});
    QVERIFY(test.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(test.readAll());
    QVERIFY2(test.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("available ") + available), qPrintable(output));
}

QTEST_MAIN(MemoryMapWindowTest)
#include "tst_memorymapwindow.moc"
