#pragma once

#include "preview/PageComposer.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <list>
#include <utility>
#include <vector>

namespace telmo {

// A column of small pictures of the report's pages beside the page view. A page is composed
// only once it scrolls into view, one page per turn of the event loop so that scrolling
// stays smooth, and only the pages still in view when their turn comes: the cost follows
// what is looked at, not the page count. The pictures are drawn at the screen's pixel ratio.
class ThumbnailPanel : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ThumbnailPanel(QWidget* parent = nullptr);

    // A new layout of pageCount pages: every picture made so far is dropped.
    void Reset(int pageCount);
    int PageCount() const { return pageCount_; }
    // The page on display: framed, and scrolled into view when it is not.
    void SetCurrentPage(int page);
    int CurrentPage() const { return current_; }

    // Where page's picture is in the viewport, and the page under a viewport point (0: none).
    QRect PageRect(int page) const;
    int PageAt(QPoint point) const;
    // Pages composed since the panel was made, and whether pages in view still wait for theirs.
    int ComposedPages() const { return composed_; }
    bool IsComposing() const { return !pending_.empty(); }
    // The picture kept for a page, or a null pixmap when it has none (yet).
    QPixmap PictureOf(int page) const { return cache_.value(page); }

    // Width the panel needs for its pictures and its scroll bar, in pixels.
    int PreferredWidth() const;

signals:
    void PageClicked(int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSize ThumbSize() const;
    int RowHeight() const;
    // The first and the last page with a picture in the viewport.
    std::pair<int, int> PagesInView() const;
    void UpdateScrollRange();
    void ComposeNext();
    void Keep(int page, const QPixmap& picture);

    PageComposer composer_;
    int pageCount_ = 0;
    int current_ = 0;
    int composed_ = 0;
    QHash<int, QPixmap> cache_;
    std::list<int> recent_; // least recently used first
    std::vector<int> pending_;
    QTimer composeTimer_;
};

} // namespace telmo
