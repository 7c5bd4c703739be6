#pragma once

#include "report/preparedreport.h"

#include <QImage>

// The blank receipt form that fp3.frf prints onto: 241 mm x 93.1 mm
// continuous paper. Its boxes and captions are drawn here so the background
// image of the preview can be made again whenever the form changes.
namespace zelk::report {

// The form's captions and boxes as one page (black ink).
PreparedReport fp3BlankForm();

// The blank form as the preview's background image: fp3BlankForm() rendered
// at dpi and tinted in the red ink of printed receipt forms.
QImage drawFp3BlankForm(int dpi);

// Any form page drawn the same way (its first page, red ink, 16 tints).
QImage drawBlankForm(const PreparedReport& form, int dpi);

// The form of the example template docs/examples/boxed-receipt.frf: a receipt on the same
// continuous paper with the amount in ten boxes (千 百 十 万 千 百 十 元 角 分) and the check
// code in twenty.
PreparedReport boxedReceiptForm();

} // namespace zelk::report
