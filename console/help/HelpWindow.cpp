#include "HelpWindow.h"

#include "BringForward.h"
#include <QDesktopServices>
#include <QHelpContentWidget>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ostrel {

QVariant HelpWindow::Browser::loadResource(int type, const QUrl& name)
{
    if (name.scheme() == QLatin1String("qthelp"))
        return engine_.fileData(name);
    return QTextBrowser::loadResource(type, name);
}

HelpWindow::HelpWindow(const OpenableCollection& collection, QWidget* parent)
    : QWidget(parent, Qt::Window), collectionFile_(collection.file), engine_(collection.file)
{
    setWindowTitle(QStringLiteral("Ostrel Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 620);
    engine_.setReadOnly(collection.readOnly);
    ready_ = engine_.setupData() && engine_.registeredDocumentations().contains(QLatin1String(kHelpNamespace));

    browser_ = new Browser(engine_, this);
    browser_->setOpenExternalLinks(true);

    views_ = new QTabWidget(this);
    QHelpContentWidget* contents = engine_.contentWidget();
    views_->addTab(contents, QStringLiteral("Contents"));
    connect(contents, &QHelpContentWidget::linkActivated, this, &HelpWindow::ShowTopic);
    // The contents open fully: the help is short.
    connect(engine_.contentModel(), &QHelpContentModel::contentsCreated, contents, &QTreeView::expandAll);

    auto* indexPage = new QWidget(views_);
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexFilter_ = new QLineEdit(indexPage);
    indexFilter_->setPlaceholderText(QStringLiteral("Type a keyword"));
    QHelpIndexWidget* index = engine_.indexWidget();
    indexLayout->addWidget(indexFilter_);
    indexLayout->addWidget(index);
    views_->addTab(indexPage, QStringLiteral("Index"));
    connect(indexFilter_, &QLineEdit::textChanged, index, [index](const QString& text) { index->filterIndices(text); });
    connect(indexFilter_, &QLineEdit::returnPressed, index, &QHelpIndexWidget::activateCurrentItem);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink& document, const QString&) { ShowTopic(document.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink>& documents, const QString&) {
                if (!documents.isEmpty())
                    ShowTopic(documents.first().url);
            });

    QHelpSearchEngine* search = engine_.searchEngine();
    auto* searchPage = new QWidget(views_);
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->addWidget(search->queryWidget());
    searchLayout->addWidget(search->resultWidget());
    views_->addTab(searchPage, QStringLiteral("Search"));
    connect(search->queryWidget(), &QHelpSearchQueryWidget::search, this,
            [this, search] { RunSearch(search->queryWidget()->searchInput()); });
    connect(search->resultWidget(), &QHelpSearchResultWidget::requestShowLink, this, &HelpWindow::ShowTopic);
    connect(search, &QHelpSearchEngine::searchingFinished, this, &HelpWindow::SearchFinished);
    connect(search, &QHelpSearchEngine::indexingFinished, this, [this] {
        indexed_ = true;
        if (!pendingQuery_.isEmpty())
            RunSearch(std::exchange(pendingQuery_, QString()));
    });

    auto* splitter = new QSplitter(this);
    splitter->addWidget(views_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    if (ready_) {
        search->reindexDocumentation();
        ShowTopic(QUrl(IntroductionTopicUrl()));
    }
}

HelpWindow::~HelpWindow()
{
    // The index is built on a thread of the engine's; stop it before the engine goes.
    engine_.searchEngine()->cancelIndexing();
    engine_.searchEngine()->cancelSearching();
}

void HelpWindow::ShowTopic(const QUrl& url)
{
    if (url.scheme() == QLatin1String("qthelp"))
        browser_->setSource(url);
    else
        QDesktopServices::openUrl(url);
}

void HelpWindow::ShowView(View view)
{
    views_->setCurrentIndex(static_cast<int>(view));
    BringForward(*this);
}

HelpWindow::View HelpWindow::CurrentView() const
{
    return static_cast<View>(views_->currentIndex());
}

void HelpWindow::Search(const QString& query)
{
    ShowView(View::Search);
    engine_.searchEngine()->queryWidget()->setSearchInput(query);
    if (!query.isEmpty())
        RunSearch(query);
}

void HelpWindow::RunSearch(const QString& query)
{
    // Searching before the index is built finds nothing: wait for it.
    if (!indexed_) {
        pendingQuery_ = query;
        return;
    }
    engine_.searchEngine()->search(query);
}

}  // namespace ostrel
