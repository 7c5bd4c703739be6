// Draws the pictures of the help page on fitting a form (resources/help/designer-*.png) from the
// real designer window, so they change with it. Run by hand after changing the designer:
//   QT_QPA_PLATFORM=offscreen zelk_help_pictures <build>/report/fp3.frf resources/help

#include "designer/designcanvas.h"
#include "designer/designerwindow.h"
#include "designer/templatedocument.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

using namespace zelk::designer;

namespace {

void click(QWidget* w, const QPointF& at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, w->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
}

// A label on a white ground, so it reads over the form.
void label(QPainter& p, const QRectF& box, const QString& text, int align) {
    const QRectF used = p.boundingRect(box, align, text).adjusted(-4, -2, 4, 2);
    p.fillRect(used, QColor(255, 255, 255, 230));
    p.drawText(box, align, text);
}

// A cross at the point, its name below it, towards the paper's middle.
void mark(QPainter& p, const QPointF& at, const QString& name, bool leftOfIt) {
    p.setPen(QPen(QColor(0, 90, 200), 2.5));
    p.drawLine(at - QPointF(12, 0), at + QPointF(12, 0));
    p.drawLine(at - QPointF(0, 12), at + QPointF(0, 12));
    p.drawEllipse(at, 7, 7);
    const QRectF box = leftOfIt ? QRectF(at.x() - 160, at.y() + 14, 150, 20)
                                : QRectF(at.x() + 10, at.y() + 14, 150, 20);
    label(p, box, name, (leftOfIt ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (app.arguments().size() != 3) {
        err << "usage: zelk_help_pictures TEMPLATE.frf OUTPUT_FOLDER\n";
        return 2;
    }
    const QString source = app.arguments().at(1);
    const QDir out(app.arguments().at(2));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fp3.frf"));
    QFile::copy(source, path);
    QFile::copy(QFileInfo(source).dir().filePath(QStringLiteral("fp3-blank.png")),
                dir.filePath(QStringLiteral("fp3-blank.png")));

    DesignerWindow window(path, {});
    window.resize(1180, 640);
    window.show();
    QApplication::processEvents();
    window.fitToWindow();
    window.document()->setSelection({8});
    QApplication::processEvents();
    bool ok = window.grab().save(out.filePath(QStringLiteral("designer-window.png")), "PNG", 9);

    // The two corners of the form's frame, clicked for 两点校正背景, and the question after.
    DesignCanvas* canvas = window.canvas();
    const QPointF first = canvas->toWidget({10, 25}), second = canvas->toWidget({231, 25});
    window.setFitAnswer([&](QDialog& dialog) {
        dialog.show();
        QApplication::processEvents();
        ok =
            dialog.grab().save(out.filePath(QStringLiteral("designer-fit-dialog.png")), "PNG", 9) &&
            ok;
        return int(QDialog::Rejected);
    });
    window.document()->setSelection({});
    window.findChild<QAction*>(QStringLiteral("scanFitAction"))->trigger();
    QImage paper = canvas->grab().toImage();
    click(canvas, first);
    click(canvas, second);
    {
        QPainter p(&paper);
        p.setRenderHint(QPainter::Antialiasing);
        QFont font = p.font();
        font.setPointSize(11);
        font.setBold(true);
        p.setFont(font);
        mark(p, first, QStringLiteral("第一点（框的左上角）"), false);
        mark(p, second, QStringLiteral("第二点（框的右上角）"), true);
        p.setPen(QPen(QColor(0, 90, 200), 1.5, Qt::DashLine));
        p.drawLine(first + QPointF(14, 0), second - QPointF(14, 0));
        label(p, QRectF(first.x(), first.y() - 34, second.x() - first.x(), 20),
              QStringLiteral("两点之间的实际距离：用尺在纸上量"), Qt::AlignCenter);
    }
    const QRect used(0, 0, paper.width(), std::min(paper.height(), int(second.y()) + 260));
    ok = paper.copy(used).save(out.filePath(QStringLiteral("designer-fit.png")), "PNG", 9) && ok;
    if (!ok) {
        err << "cannot write the pictures into " << out.path() << '\n';
        return 1;
    }
    return 0;
}
