#pragma once

#include "ui/skin_button.h"

namespace kalder {

// A skinned button that stays in: the pressed picture shows while it is checked.
class SkinCheckButton : public SkinButton {
    Q_OBJECT

public:
    SkinCheckButton(int controlId, int normalPictureId, int checkedPictureId,
                    QWidget* parent = nullptr)
        : SkinButton(controlId, normalPictureId, checkedPictureId, parent) {
        setCheckable(true);
    }
};

} // namespace kalder
