#pragma once
// Reading and writing documents in the editor's file formats.
//
//   format 3 (OwnFormat)  our own lossless format; in files always behind the
//                         30-byte header below. Grammar: docs/document-format.md
//   format 5 (Rtf)        Rich Text Format, our own reader and writer
//   format 1 (PlainText)  UTF-8 out; UTF-8 in, Windows-1252 when not UTF-8
//   format 9 (Word)       writes RTF (Word and LibreOffice open it as a Word
//                         document); reads RTF, .docx, or old binary Word
//                         through the `antiword` program, deciding from the
//                         first bytes and never from the name
//   saveDocx / .docx      Word 2007 WordprocessingML
//
// Every function reports failure by throwing orv::Error with an Italian text
// for the user; a reader never crashes on bad input and never leaves a half
// document: it checks the whole input before it touches the target, so on
// error the target document is unchanged. Inputs are capped (nesting, sizes,
// counts).

#include "editor/format/TxDocument.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace orv::doc {

// ---- The 30-byte header of document files ------------------------------
// offset 0 tag (int32 23), 4 margin left, 8 top, 12 right, 16 bottom,
// 20 page height, 24 page width (int32 little-endian, twips), 28 two zero
// bytes; the own-format document follows at offset 30.

inline constexpr qint32 kHeaderTag = 23;
inline constexpr int kHeaderSize = 30;

// The page of a file without the tag: A4 with margins of 1440.
PageSetup untaggedPage(); // width 11906, height 16837

struct FileHeader {
    PageSetup page;          // from the header, or untaggedPage()
    qint64 documentOffset;   // 30 with the tag, 4 without
    bool tagged;
};

// The 30 header bytes for this page.
QByteArray encodeHeader(const PageSetup& page);
// Applies the header rules to the leading bytes of a file (give at least 30
// bytes, or the whole file when shorter): tag 23 with 30 bytes or more gives
// the page from the header and offset 30; other leading bytes give
// untaggedPage() and offset 4. Throws orv::Error for a file shorter than 4
// bytes, or tagged and shorter than 30.
FileHeader decodeHeader(const QByteArray& leading);

// The format for saving into a file: the last three characters of the name
// in upper case, "RTF" -> Rtf, "TXT" -> PlainText, "DOC" -> Word, anything
// else OwnFormat (behind the header).
Format formatForFileName(const QString& fileName);

// ---- Whole streams -----------------------------------------------------

// Replaces body and footer with the document in `data`. Returns the page
// values the data give, 0 for each value they do not give (the own format
// and plain text give none; their page travels in the header); doc.page
// takes every value greater than 0. On error the document is unchanged.
PageSetup load(TxDocument& doc, const QByteArray& data, Format format);
// The bytes of the document in the format. Saving what the own format loaded
// gives the same bytes.
QByteArray save(const TxDocument& doc, Format format);

// Word 2007 (.docx): fields become content controls inside bookmarks.
QByteArray saveDocx(const TxDocument& doc);
// Reads a .docx package; the same contract as load().
PageSetup loadDocx(TxDocument& doc, const QByteArray& data);

// ---- Files, as the control's LoadDocument / SaveDocument ---------------

// Reads the file from byte `offset` on in the format.
PageSetup loadFile(TxDocument& doc, const QString& path, qint64 offset, Format format);
// Writes the document at byte `offset` of the file, keeping the first
// `offset` bytes already there (the header) and dropping the rest. The file
// is replaced atomically: a failed save leaves the old file as it was.
// Throws when the file is shorter than `offset`.
void saveFile(const TxDocument& doc, const QString& path, qint64 offset, Format format);

// The editor's document file: header rules, then the own format. Sets
// doc.page from the header.
void loadDocumentFile(TxDocument& doc, const QString& path);
// Header from doc.page, then the own format; atomic.
void saveDocumentFile(const TxDocument& doc, const QString& path);

// ---- Conversion by file name (orvanta-admin convert) -------------------
// By the name's ending, case-insensitive: .rtf, .txt, .doc (reads any Word
// or RTF content, writes RTF), .docx; anything else is a document file
// (header + own format).
void readAnyFile(TxDocument& doc, const QString& path);
void writeAnyFile(const TxDocument& doc, const QString& path);

} // namespace orv::doc
