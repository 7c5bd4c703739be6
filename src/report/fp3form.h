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

} // namespace zelk::report
