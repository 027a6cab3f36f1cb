// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The object store: PDF objects by number, wherever they live (in the file's body or inside a
// compressed object stream). Callers never see a byte offset.
//
// How to use it, given a PdfReader `reader` whose cross-reference is read
// (ReadCrossReference below):
//  - An object by number:   PdfObject o = reader.ReadObject(12);
//    A dictionary entry:    const PdfObject* v = o.Get("Title");   (key without the slash)
//    A value that may be a reference ("12 0 R"):  PdfObject r = reader.Resolve(*v);
//    The trailer:           reader.Trailer().Get("Root") / Get("Info") / Get("Encrypt")
//  - A stream's decoded bytes by object number (FlateDecode and predictors undone, bounded):
//                           std::string xmp = reader.ReadStreamData(metadataNumber);
//    (Filters other than FlateDecode raise EPdfFormatError.)
//  - Strings come out of objects as they stand in the file: PdfObject::text holds the bytes
//    between the delimiters, PdfObject::StringBytes() resolves escapes or hex digits. They are
//    NOT decrypted here. Decryption of a string value is done in one place only, a
//    StringDecryptor (crypto/pdfenc.h) called through utilpdft.h, with the number and
//    generation of the object the string was read from: reader.ObjectGeneration(n) gives the
//    generation to use (0 for an object inside an object stream, whose strings are not
//    encrypted on their own).
//    Stream data (object streams, ReadStreamData) of an encrypted file is decrypted by the
//    function given to reader.SetStreamDecryptor once the file key is known (pdfinfo.cpp sets
//    one that calls a StringDecryptor for streams); before that, encrypted streams read as
//    garbage.

#include "pdf/pdffile.h"

// Reads the cross-reference of the file behind reader: from startxref along the chain; when
// that fails or leads nowhere usable (no /Root, or /Root's entry does not hold its object),
// the table is rebuilt by scanning the file. Raises the chain's error only when the scan finds
// nothing either.
void ReadCrossReference(PdfReader& reader);
