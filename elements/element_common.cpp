#include "elements/element_common.h"

#include "gui/toolkit/draw/gui_draw.h"
#include "gui/toolkit/gui_font.h"

#include <cstdio>

void ELEMENT_FormatValue(char* buffer, size_t size, const char* format, int32_t value,
                         int32_t offset, int32_t divisor) {
    if (buffer == nullptr || size == 0) return;
    buffer[0] = '\0';
    if (format == nullptr) return;
    const int64_t shifted = static_cast<int64_t>(value) + offset;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (divisor == 1) {
        std::snprintf(buffer, size, format, static_cast<int>(shifted));
    } else if (divisor != 0) {
        std::snprintf(buffer, size, format, static_cast<double>(shifted) / divisor);
    }
#pragma GCC diagnostic pop
}

const GUI_FONTDEF* ELEMENT_CatalogueFont(const GUI_FONTDEF* copy) {
    if (copy == nullptr) return nullptr;
    for (const GUI_CATALOGUE_FONT& entry : GUI_FontCatalogue) {
        const GUI_FONTDEF* f = entry.font;
        if (f == copy) return f;
        if (f->ranges == copy->ranges && f->draw_char == copy->draw_char &&
            f->cell_height == copy->cell_height && f->line_distance == copy->line_distance &&
            f->x_magnification == copy->x_magnification &&
            f->y_magnification == copy->y_magnification && f->baseline == copy->baseline)
            return f;
    }
    return nullptr;
}

ElementFontGuard::ElementFontGuard(const GUI_FONTDEF* copy) {
    const GUI_FONTDEF* catalogue = ELEMENT_CatalogueFont(copy);
    if (catalogue != nullptr) {
        GUI_SelectFont(catalogue);
    } else if (copy != nullptr && copy->ranges != nullptr) {
        restore_ = GUI_SelectFont(copy);
    }
}

ElementFontGuard::~ElementFontGuard() {
    if (restore_ != nullptr) GUI_SelectFont(restore_);
}
