#pragma once

#include <QByteArray>
#include <QString>

// The 128-byte ID3 version 1.1 tag at the end of an MP3 file: "TAG", title (30), artist (30), album (30),
// year (4), comment (28), a zero byte, track and genre index. Texts are 8-bit (Windows-1252), ended by a zero
// byte or by the field's width.
class TcmxID3 {
public:
    static constexpr int Size = 128;

    // The empty tag: "TAG" followed by zero bytes.
    TcmxID3();
    // A tag from its 128 bytes; anything that is not 128 bytes starting with "TAG" gives the empty tag.
    static TcmxID3 fromBytes(const QByteArray &bytes);
    // A tag from the given fields, each text cut to its field's width (the year to four characters).
    static TcmxID3 fromFields(const QString &title, const QString &artist, const QString &album, const QString &comment,
                              int year, quint8 track, quint8 genre);

    // The tag at the end of the file; a file without one, or shorter than 128 bytes, gives the empty tag.
    // Throws AppError("Cannot open file <path>") when the file cannot be opened for reading.
    static TcmxID3 read(const QString &path);
    // Writes this tag over the file's tag when it has one, so the file length stays; appends it otherwise.
    // Throws AppError("Cannot open file <path>") or AppError("Unable to write to <path>").
    void write(const QString &path) const;

    const QByteArray &bytes() const { return m_bytes; }
    bool isEmpty() const { return m_bytes == TcmxID3().m_bytes; }

    QString getTitle() const;
    QString getArtist() const;
    QString getAlbum() const;
    QString getYear() const;
    QString getComment() const;
    quint8 getTrack() const;
    quint8 getGenreNdx() const;

    // The highest index of the genre table, 147.
    static int MaxGenreID();
    // The genre's name for 0..MaxGenreID(); any other index, negative ones too, as decimal text.
    static QString getGenreText(int index);

private:
    QString text(int offset, int width) const;
    void setText(int offset, int width, const QString &text);

    QByteArray m_bytes;
};
