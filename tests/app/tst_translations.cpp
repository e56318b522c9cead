#include <QtTest>
#include <QtWidgets>

#include "messageboxdialogs.h"
#include "translations.h"

class TranslationsTest : public QObject {
    Q_OBJECT

private slots:
    void russianWhateverTheLocale_data();
    void russianWhateverTheLocale();
    void questionBoxIsRussianOverTheWindowAndDefaultsToNo();
};

// The system's locale chooses nothing: the program's translation and Qt's own Russian one are loaded
// under any of them, so that the standard buttons never read Yes/No/Cancel in a Russian window.
void TranslationsTest::russianWhateverTheLocale_data()
{
    QTest::addColumn<QString>("systemLocale");
    QTest::newRow("en_US") << "en_US";
    QTest::newRow("de_DE") << "de_DE";
    QTest::newRow("C") << "C";
    QTest::newRow("ru_RU") << "ru_RU";
}

void TranslationsTest::russianWhateverTheLocale()
{
    QFETCH(QString, systemLocale);
    QLocale::setDefault(QLocale(systemLocale));
    Translations translations;
    QVERIFY(translations.load());
    QCOMPARE(translations.program().language(), QStringLiteral("ru_RU"));
    QVERIFY(translations.hasQtTranslation());
    // Standard button texts as QDialogButtonBox / QMessageBox ask for them.
    QCOMPARE(translations.qt().translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    QCOMPARE(translations.qt().translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
    translations.install();
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&Нет"));
    QCOMPARE(QLocale().language(), QLocale::Russian);
}

// The real question box of the program, under an English system locale: Russian buttons, in front of
// the window it belongs to, and Enter answers "Нет".
void TranslationsTest::questionBoxIsRussianOverTheWindowAndDefaultsToNo()
{
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    Translations translations;
    QVERIFY(translations.load());
    translations.install();
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MessageBoxDialogs dialogs;
    dialogs.setWindow(&window);

    QStringList buttons;
    QString defaultButton;
    QWidget *parent = nullptr;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        answer.stop();
        parent = box->parentWidget();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    answer.start(10);
    const bool replaced = dialogs.ask(QStringLiteral("Предупреждение!"),
                                      QStringLiteral("Файл fw.bin уже существует. Заменить?"));

    QVERIFY(!replaced);
    QCOMPARE(parent, &window);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("&Да"), QStringLiteral("&Нет")}));
    QCOMPARE(defaultButton, QStringLiteral("&Нет"));
}

QTEST_MAIN(TranslationsTest)
#include "tst_translations.moc"
