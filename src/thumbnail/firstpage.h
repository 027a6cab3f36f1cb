// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The first page of a PDF as a picture, drawn by poppler. Only pagewick-thumbnail calls this,
// after it has shut itself in (sandbox.h).

#include "thumbnail/thumbnailprotocol.h"

#include <QByteArray>
#include <QImage>

class QIODevice;

struct FirstPage {
    thumbnail::ExitCode outcome = thumbnail::kUnreadable;
    QImage image; // set when outcome is kRendered or kRenderedWithPassword
};

// Draws page 1 of the document in pdf (as shown: its /Rotate applied, its crop box) on white,
// scaled so that its longer side is longestSide pixels. The password, when not empty, is tried
// only on a file that does not open without one, as owner and as user password.
FirstPage RenderFirstPage(QIODevice& pdf, const QByteArray& password, int longestSide);
