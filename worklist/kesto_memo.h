#pragma once

#include "worklist/progress.h"

#include <QString>

class MemoEdit;

// Sorts the lines of the area with case ignored and puts them back in one step, each
// followed by a break; the remembered encoding is kept in effect. Cancelling through
// progress leaves the area as it was.
void MEMO_Sort(MemoEdit *MEMO, const Progress &progress = {});

// The display row, counted from 0 over the whole document with wrapped rows, that holds
// the lower end of the selection (the caret when nothing is selected). The caret at the
// very end gives the last row, the empty one after a final break. Every block before the
// caret's is laid out to count its rows, so the cost grows with the caret's position.
int Memo_GetRow(MemoEdit *myMEMO);

// The text of the display row that holds the lower end of the selection, without break,
// at most 4096 units. Only that row's block is laid out.
QString caretRowText(MemoEdit *memo);
