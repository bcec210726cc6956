#pragma once

// TDBNavigator: first / prior / next / last buttons over a data source. The buttons follow the
// cursor: first and prior are disabled at the beginning, next and last at the end, all of them
// when the dataset is closed, empty or its source disabled.

#include "platform/toolkit/data/datasource.h"

#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

enum class TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast };

class TDBNavigator : public QWidget
{
    Q_OBJECT

public:
    explicit TDBNavigator(QWidget *parent = nullptr, const std::string &name = {});
    ~TDBNavigator() override;

    TDataSource *DataSource() const; // Not owned.
    void SetDataSource(TDataSource *source);

    // Hints in button order (first, prior, next, last); missing entries keep the defaults.
    const std::vector<std::string> &Hints() const { return m_hints; }
    void SetHints(std::vector<std::string> hints);
    std::string Hint(TNavigateBtn button) const;
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);

    // Runs after a button moved the dataset.
    std::function<void(TDBNavigator &sender, TNavigateBtn button)> OnClick;

    // What a click on the button does (nothing when the button is disabled). The move and
    // OnClick run through the toolkit's error boundary.
    void BtnClick(TNavigateBtn button);
    bool ButtonEnabled(TNavigateBtn button) const;
    QToolButton *Button(TNavigateBtn button) const; // Owned (child widget).

private:
    class Link;
    friend class Link;

    void updateButtons();
    void updateHints();

    std::unique_ptr<Link> m_link;
    std::array<QToolButton *, 4> m_buttons{}; // Owned (child widgets).
    std::vector<std::string> m_hints;
    bool m_showHint = false;
};

} // namespace tk
