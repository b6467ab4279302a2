#pragma once

#include <QByteArray>

/// True when bytes that pass looksLikeGbk() are far more likely Big5: read
/// as Big5, samples of them give many more of the most common hanzi than
/// read as GBK. Looks at the first 64 KiB and three 16 KiB windows further
/// in. False without a Big5 codec, and on too little text to tell.
bool looksLikeBig5(const QByteArray &bytes);
