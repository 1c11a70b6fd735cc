#pragma once

#include "components_global.h"

#include <QString>

// Edit masks in the stored layouts' mask language: "mask;save-literals;blank". Characters:
// 0 digit required, 9 digit optional, # digit or sign optional, L letter required,
// l letter optional, A letter or digit required, a letter or digit optional, C any character
// required, c any character optional, > upper case from here, < lower case from here, <> no
// case change, \ takes the next character as a literal; anything else is a literal.

// The Qt input mask for a mask of that language ("" for an empty mask).
COMPONENTS_EXPORT QString qtInputMask(const QString &editMask);

// The value formatted with the mask. With save-literals 0 the value holds no literals, so they
// are inserted; with 1 the value holds them already. Never drops characters of the value:
// whatever does not fit the mask is appended.
COMPONENTS_EXPORT QString FormatMaskText(const QString &editMask, const QString &value);

// True when a text counts as not filled in: empty or blank, a masked edit's text with nothing
// typed, a date edit's "  /  /    ", an empty pick-list string.
COMPONENTS_EXPORT bool EmptyString(const QString &text);

// Normalises a typed code or number: a blank text stays empty; otherwise it is trimmed and
// left-padded with zeros to the width. A longer text is kept whole.
COMPONENTS_EXPORT QString Ajusta(const QString &text, int width);

// Mask of a registration number for a person type: 'F' natural person (CPF), 'J' company (CNPJ);
// any other code shows the number as it is.
COMPONENTS_EXPORT QString PictPess(const QString &personType);

enum class TPictType { ptArvProd, ptCodProd };
// Mask of a tree-structured code; the first picture type is the product tree code.
COMPONENTS_EXPORT QString DBPict(TPictType type);
