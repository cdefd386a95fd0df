#pragma once

#include "platform/ChunkedText.h"

#include <QStringView>

namespace quillon {

// An offline estimate of how many language-model tokens a Markdown document holds, made without
// any tokenizer vocabulary: words count by length and kind, Markdown markup, brackets and
// punctuation one token each, with a separate rule inside code. Pure; safe on any thread.
struct TokenCounter
{
    // 0 for an empty text. Lengths count user-perceived characters (grapheme clusters).
    static qint64 estimate(QStringView text);
    // The same of a long text, made a stretch at a time: no copy of the whole is made.
    static qint64 estimate(const ChunkedText& text);

private:
    struct State;
    static void add(QStringView text, State& state);
    static qint64 finish(State& state);
};

} // namespace quillon
