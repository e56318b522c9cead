#include <QtTest>

#include "app/translations.h"

class TranslationsTest : public QObject {
    Q_OBJECT

private slots:
    void choosesFirstCarriedLanguage_data();
    void choosesFirstCarriedLanguage();
    void russianLoadsQtsOwnTranslation();
};

void TranslationsTest::choosesFirstCarriedLanguage_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("ru-RU") << QStringList{"ru-RU"} << "ru_RU";
    QTest::newRow("ru alone") << QStringList{"ru"} << "ru_RU";
    QTest::newRow("en-US") << QStringList{"en-US"} << "";
    QTest::newRow("de-DE then ru-RU") << QStringList{"de-DE", "ru-RU"} << "ru_RU";
    QTest::newRow("en-US then de-DE") << QStringList{"en-US", "de-DE"} << "";
    QTest::newRow("none") << QStringList{} << "";
}

void TranslationsTest::choosesFirstCarriedLanguage()
{
    QFETCH(QStringList, languages);
    QFETCH(QString, chosen);
    Translations translations;
    QCOMPARE(translations.load(languages), chosen);
    QCOMPARE(translations.program().isEmpty(), chosen.isEmpty());
    if (!chosen.isEmpty())
        QCOMPARE(translations.program().language(), chosen);
}

void TranslationsTest::russianLoadsQtsOwnTranslation()
{
    Translations translations;
    QCOMPARE(translations.load({"ru-RU"}), QStringLiteral("ru_RU"));
    QVERIFY(translations.hasQtTranslation());
    // A standard button text as QDialogButtonBox / QMessageBox ask for it.
    QCOMPARE(translations.qt().translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    translations.install();
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
}

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
