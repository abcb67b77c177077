#include "app/import/ImportError.h"

namespace vorlith {

const char* ImportError::what() const noexcept
{
    switch (m_reason) {
    case unsupported:
        return "仅支持PNG和JPEG图片文件。";
    case corrupt:
        return "图片损坏或无法读取。";
    case animated:
        return "暂不支持动态图像或多页图片。";
    case noImage:
        return "剪贴板中没有可用的图片或图片文件。";
    }
    return "";
}

} // namespace vorlith
