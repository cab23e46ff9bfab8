#pragma once
// Whole-text clean-up of an RWX script, as the "Options" menu runs it.
//
// Line breaks are the pair CR LF; a lone CR or LF is an ordinary character.
// A blank is the space character only: tabs and other white space are kept.
// Each function takes the whole text and returns the cleaned copy in one
// linear pass; it keeps no state and accepts texts of any length.
#include <QString>

// Removes every comment: from a "#" that is not directly followed by "!" up
// to, not including, the next CR LF (or to the end of the text). A "#!" pair
// starts no comment, and scanning goes on right after its "!". Line breaks and
// the blanks before a comment stay.
QString DeleteComments(const QString &text);

// Shrinks every run of blanks to one blank, then drops a blank at the start of
// the text, right after a CR LF and right before a CR LF. A blank ending the
// last line of a text without a final line break stays.
QString DeleteSpacers(const QString &text);

// Shrinks every run of CR LF pairs to one CR LF and drops a CR LF at the start
// of the text. A text ending in line breaks keeps exactly one of them.
QString DeleteEmptyStrings(const QString &text);
