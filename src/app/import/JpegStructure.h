#pragma once

#include <QByteArrayView>

namespace vorlith::jpeg {

// Whether a JPEG's marker segments and entropy-coded scans run, in order, to the end-of-image
// marker. A file cut short never does; the decoder would otherwise fill the missing rows
// with grey and call it a success. Bytes between segments are skipped as the decoder skips
// them. Reads only; any thread.
bool reachesEndOfImage(QByteArrayView file);

} // namespace vorlith::jpeg
