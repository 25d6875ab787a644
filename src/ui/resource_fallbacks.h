#pragma once

#include "resources/resource_library.h"

#include <QImage>
#include <QString>

namespace kalder {

// A skinned control's picture from the resource library; a null image for id 0 (none).
inline QImage skinPictureOrNone(int id) {
    return id > 0 ? resourcePicture(id) : QImage();
}

// A text of the resource library, or `fallback` where the library has none.
inline QString resourceTextOr(int id, const char* fallback) {
    const QString text = resourceText(id);
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

} // namespace kalder
