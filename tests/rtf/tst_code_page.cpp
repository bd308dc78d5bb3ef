#include "platform/code_page.h"
#include "rtf/rtf_charsets.h"

#include <QTest>

#ifdef Q_OS_LINUX
#include <iconv.h>
#endif

class TestCodePage : public QObject {
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1250") << 1250 << QByteArray("\x8a\xe8") << QStringLiteral("Šč");
        QTest::newRow("1251") << 1251 << QByteArray("\xc2\xe5\xe3\xe0") << QStringLiteral("Вега");
        QTest::newRow("1252") << 1252 << QByteArray("a\x80\xe9") << QStringLiteral("a€é");
        QTest::newRow("1253") << 1253 << QByteArray("\xe1\xde") << QStringLiteral("αή");
        QTest::newRow("1257") << 1257 << QByteArray("\xe0") << QStringLiteral("ą");
        QTest::newRow("1258") << 1258 << QByteArray("a\xe0") << QStringLiteral("aà");
        QTest::newRow("874") << 874 << QByteArray("\xa1") << QStringLiteral("ก");
        QTest::newRow("932") << 932 << QByteArray("\x83\x6f\x81\x5b") << QStringLiteral("バー");
        QTest::newRow("936") << 936 << QByteArray("\xc4\xe3\xba\xc3") << QStringLiteral("你好");
        QTest::newRow("949") << 949 << QByteArray("\xc7\xd1") << QStringLiteral("한");
        QTest::newRow("950") << 950 << QByteArray("\xa4\xa4") << QStringLiteral("中");
        QTest::newRow("unknown page reads as 1252") << 12345 << QByteArray("\xe9") << QStringLiteral("é");
        QTest::newRow("byte without character") << 1253
                                                << QByteArray("a\xaa"
                                                              "b")
                                                << QStringLiteral("a\uFFFDb");
        QTest::newRow("broken double byte") << 932 << QByteArray("a\x83") << QStringLiteral("a\uFFFD");
        QTest::newRow("bad trail byte keeps the rest")
            << 936 << QByteArray("\x81\x20xy") << QStringLiteral("\uFFFD xy");
        QTest::newRow("empty") << 932 << QByteArray() << QString();
    }
    void decode()
    {
        QFETCH(int, codePage);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(CodePage::decode(codePage, bytes), expected);
    }

#ifdef Q_OS_LINUX
    // Windows-1252 decodes through a table of the program's own; the system's converter is the reference.
    void windows1252AsIconv()
    {
        iconv_t cd = iconv_open("UTF-16LE", "CP1252");
        QVERIFY(cd != reinterpret_cast<iconv_t>(-1));
        for (int byte = 0; byte < 256; ++byte) {
            char in = char(byte);
            char16_t out = 0;
            char *inPtr = &in;
            char *outPtr = reinterpret_cast<char *>(&out);
            size_t inLeft = 1;
            size_t outLeft = sizeof(out);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool decoded = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1);
            const QString expected = decoded ? QString(QChar(out)) : QStringLiteral("\uFFFD");
            QCOMPARE(CodePage::decode(1252, QByteArray(1, in)), expected);
        }
        iconv_close(cd);
    }
#endif

    void encode_data()
    {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("encodable");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("cyrillic") << 1251 << QStringLiteral("Вега") << true << QByteArray("\xc2\xe5\xe3\xe0");
        QTest::newRow("japanese") << 932 << QStringLiteral("バー") << true << QByteArray("\x83\x6f\x81\x5b");
        QTest::newRow("greek in 1252") << 1252 << QStringLiteral("α") << false << QByteArray();
        QTest::newRow("emoji in 936") << 936 << QStringLiteral("\U0001F600") << false << QByteArray();
        QTest::newRow("unknown page") << 4711 << QStringLiteral("a") << false << QByteArray();
    }
    void encode()
    {
        QFETCH(int, codePage);
        QFETCH(QString, text);
        QFETCH(bool, encodable);
        QFETCH(QByteArray, expected);
        QByteArray bytes;
        QCOMPARE(CodePage::encode(codePage, text, &bytes), encodable);
        if (encodable) {
            QCOMPARE(bytes, expected);
            QCOMPARE(CodePage::decode(codePage, bytes), text);
        }
    }

    void fromCharset_data()
    {
        QTest::addColumn<int>("charset");
        QTest::addColumn<int>("codePage");
        const int pairs[][2] = {{0, 1252},   {128, 932},  {129, 949},  {134, 936},  {136, 950},  {161, 1253},
                                {162, 1254}, {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},
                                {238, 1250}, {163, 1258}, {1, 0},      {2, 0},      {99, 0}};
        for (const auto &pair : pairs)
            QTest::newRow(qPrintable(QString::number(pair[0]))) << pair[0] << pair[1];
    }
    void fromCharset()
    {
        QFETCH(int, charset);
        QFETCH(int, codePage);
        QCOMPARE(RtfCharsets::codePage(charset), codePage);
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_code_page.moc"
