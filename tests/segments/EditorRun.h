#pragma once

#include "document/Expression.h"
#include "segments/VideoForm.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>

namespace vimra::test {

inline VideoForm& formOf(const Expression& e) { return *dynamic_cast<VideoForm*>(e.form().get()); }

// Shows the expression's editor, runs `act` in it and closes it if `act` left it open.
inline bool inEditor(const std::shared_ptr<Expression>& e, const std::function<void(VideoWindow&)>& act)
{
    bool opened = false;
    VideoForm& form = formOf(*e);
    QTimer::singleShot(0, [&] {
        if (VideoWindow* w = form.videoWindow()) {
            opened = true;
            act(*w);
            if (form.videoWindow())
                w->dialog()->reject();
        }
    });
    e->ShowForm(nullptr);
    QCoreApplication::processEvents();
    return opened;
}

} // namespace vimra::test
