#include "preview/ThumbnailPanel.h"

#include "platform/print/Printer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace telmo {
namespace {
constexpr int kThumbWidth = 112;  // pixels
constexpr int kMargin = 10;       // around each picture
constexpr int kLabelHeight = 16;  // the page number under it
constexpr int kPicturesKept = 96; // a few screens of pictures, whatever the page count
} // namespace

ThumbnailPanel::ThumbnailPanel(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("lstThumbnails"));
    // Keys stay with the window: they turn its pages.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    composeTimer_.setSingleShot(true);
    composeTimer_.setInterval(0);
    connect(&composeTimer_, &QTimer::timeout, this, [this] { ComposeNext(); });
}

int ThumbnailPanel::PreferredWidth() const {
    return kThumbWidth + 2 * kMargin + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

QSize ThumbnailPanel::ThumbSize() const {
    const Printer& printer = Printers::Current();
    const double ratio = printer.Width() > 0 ? printer.Height() / printer.Width() : 1.0;
    return QSize(kThumbWidth, std::max(1, static_cast<int>(kThumbWidth * ratio + 0.5)));
}

int ThumbnailPanel::RowHeight() const {
    return ThumbSize().height() + 2 * kMargin + kLabelHeight;
}

void ThumbnailPanel::Reset(int pageCount) {
    pageCount_ = std::max(0, pageCount);
    current_ = std::min(current_, pageCount_);
    cache_.clear();
    recent_.clear();
    pending_.clear();
    UpdateScrollRange();
    viewport()->update();
}

void ThumbnailPanel::UpdateScrollRange() {
    const int rows = RowHeight();
    QScrollBar* bar = verticalScrollBar();
    // 32,766 pages of about 190 pixels stay far inside the scroll bar's range.
    bar->setRange(0, std::max(0, pageCount_ * rows - viewport()->height()));
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(rows / 4);
}

void ThumbnailPanel::SetCurrentPage(int page) {
    current_ = page;
    const QRect rect = PageRect(page);
    if (page >= 1 && (rect.top() < 0 || rect.bottom() > viewport()->height())) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue((page - 1) * RowHeight() - (viewport()->height() - RowHeight()) / 2);
    }
    viewport()->update();
}

QRect ThumbnailPanel::PageRect(int page) const {
    const QSize size = ThumbSize();
    const int left = (viewport()->width() - size.width()) / 2;
    const int top = (page - 1) * RowHeight() + kMargin - verticalScrollBar()->value();
    return QRect(QPoint(left, top), size);
}

int ThumbnailPanel::PageAt(QPoint point) const {
    if (point.y() < 0)
        return 0;
    const int page = (point.y() + verticalScrollBar()->value()) / RowHeight() + 1;
    if (page > pageCount_ ||
        !PageRect(page).adjusted(-kMargin, -kMargin, kMargin, kMargin + kLabelHeight).contains(point))
        return 0;
    return page;
}

void ThumbnailPanel::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void ThumbnailPanel::scrollContentsBy(int, int) {
    viewport()->update();
}

void ThumbnailPanel::mousePressEvent(QMouseEvent* event) {
    const int page = PageAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && page > 0)
        emit PageClicked(page);
}

std::pair<int, int> ThumbnailPanel::PagesInView() const {
    const int rows = RowHeight();
    const int top = verticalScrollBar()->value();
    return {top / rows + 1, std::min(pageCount_, (top + viewport()->height()) / rows + 1)};
}

void ThumbnailPanel::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const auto [first, last] = PagesInView();
    const qreal ratio = devicePixelRatioF();
    pending_.clear();
    for (int page = first; page <= last; ++page) {
        const QRect rect = PageRect(page);
        const auto kept = cache_.constFind(page);
        if (kept != cache_.constEnd() && kept->devicePixelRatio() == ratio) {
            painter.drawPixmap(rect.topLeft(), *kept);
            recent_.remove(page);
            recent_.push_back(page);
        } else {
            painter.fillRect(rect, Qt::white);
            pending_.push_back(page);
        }
        painter.setPen(page == current_ ? QPen(palette().color(QPalette::Highlight), 3) : QPen(Qt::black, 1));
        painter.drawRect(rect.adjusted(-1, -1, 0, 0));
        painter.setPen(palette().color(QPalette::BrightText));
        painter.drawText(QRect(rect.left(), rect.bottom() + 2, rect.width(), kLabelHeight), Qt::AlignCenter,
                         QString::number(page));
    }
    if (!pending_.empty())
        composeTimer_.start();
}

void ThumbnailPanel::ComposeNext() {
    // Pages scrolled out of view since they were asked for are passed over.
    const auto [first, last] = PagesInView();
    const qreal ratio = devicePixelRatioF();
    int page = 0;
    while (page == 0 && !pending_.empty()) {
        const int asked = pending_.front();
        pending_.erase(pending_.begin());
        const QPixmap kept = cache_.value(asked);
        if (asked >= first && asked <= last && (kept.isNull() || kept.devicePixelRatio() != ratio))
            page = asked;
    }
    if (page == 0)
        return;
    const QSize size = ThumbSize();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::white);
    try {
        if (PicturePtr composed = composer_.Compose(page)) {
            QPainter painter(&picture);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            composed->PlayInto(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
    } catch (...) {
        // A page that cannot be composed keeps a blank picture; the page view reports why
        // when that page is shown.
    }
    ++composed_;
    Keep(page, picture);
    viewport()->update(PageRect(page));
    if (!pending_.empty())
        composeTimer_.start();
}

void ThumbnailPanel::Keep(int page, const QPixmap& picture) {
    cache_.insert(page, picture);
    recent_.remove(page);
    recent_.push_back(page);
    while (static_cast<int>(recent_.size()) > kPicturesKept) {
        cache_.remove(recent_.front());
        recent_.pop_front();
    }
}

} // namespace telmo
