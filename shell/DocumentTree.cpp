// The two trees of the main window: building them from the current
// document, clicks and the Delete key on their nodes, and the calls through
// which the document model and the editors keep them current.

#include "shell/frmMain.h"

#include "document/AVDocument.h"
#include "document/Storage.h"
#include "document/Version.h"
#include "document/Video.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/Coll.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "widgets/Guarded.h"
#include "shell/TreeView.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScopedValueRollback>
#include <QSet>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>

Q_DECLARE_METATYPE(std::shared_ptr<vimra::DocObject>)

namespace vimra {

std::shared_ptr<DocObject> frmMain::objectOf(const QTreeWidgetItem* node)
{
    return node ? node->data(0, kObjectRole).value<std::shared_ptr<DocObject>>() : nullptr;
}

QTreeWidgetItem* frmMain::selectedNode(const QTreeWidget* tree)
{
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

std::shared_ptr<DocObject> frmMain::selectedObject(const QTreeWidget* tree)
{
    return objectOf(selectedNode(tree));
}

QTreeWidget* frmMain::treeWidget(Tree tree) const
{
    return tree == Tree::tvwMainTree ? static_cast<QTreeWidget*>(tvwMainTree) : tvwExpression;
}

std::shared_ptr<DocObject> frmMain::selectedObject(Tree tree) const
{
    return selectedObject(treeWidget(tree));
}

void frmMain::ClearTrees()
{
    tvwMainTree->clear();
    tvwExpression->clear();
    m_expressionNodes.clear();
    m_chainsShown.clear();
}

QTreeWidgetItem* frmMain::FindNodeByTag(const QTreeWidget* tree, const std::shared_ptr<DocObject>& obj)
{
    if (!obj)
        return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
        if (objectOf(*it) == obj)
            return *it;
    return nullptr;
}

void frmMain::ExpandNodeAndParents(QTreeWidgetItem* node)
{
    for (; node; node = node->parent())
        node->setExpanded(true);
}

void frmMain::ExpandToObject(Tree tree, const std::shared_ptr<DocObject>& obj)
{
    ExpandNodeAndParents(FindNodeByTag(treeWidget(tree), obj));
}

void frmMain::connectTrees()
{
    tvwMainTree->onMouseDown = [this](int button) { tvwMainTree_MouseDown(button); };
    tvwMainTree->onNodeClick = [this](QTreeWidgetItem* node) { tvwMainTree_NodeClick(node); };
    tvwMainTree->onKeyUp = [this](int key, Qt::KeyboardModifiers m) { tvw_KeyUp(tvwMainTree, key, m); };
    // The expression tree follows the current Version however it was chosen;
    // a mouse press builds it in its own handler.
    connect(tvwMainTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* now) {
        if (QApplication::mouseButtons() == Qt::NoButton)
            if (const auto ver = std::dynamic_pointer_cast<Version>(objectOf(now)))
                BuildExpressionTree(ver);
    });
    tvwExpression->onMouseDown = [this](int button) { tvwExpression_MouseDown(button); };
    tvwExpression->onNodeClick = [this](QTreeWidgetItem* node) { tvwExpression_NodeClick(node); };
    tvwExpression->onKeyUp = [this](int key, Qt::KeyboardModifiers m) { tvw_KeyUp(tvwExpression, key, m); };
    const QAbstractItemModel* model = tvwExpression->model();
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_expressionNodes.clear();
        m_chainsShown.clear();
    });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] {
        if (!m_bPlacingSegments) {
            m_expressionNodes.clear();
            m_chainsShown.clear();
        }
    });
    // Nodes placed otherwise than by the segments' announcements.
    const auto placedOtherwise = [this] {
        if (!m_bPlacingSegments)
            m_chainsShown.clear();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, placedOtherwise);
    connect(model, &QAbstractItemModel::rowsMoved, this, placedOtherwise);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { m_chainsShown.clear(); });
    for (TreeView* tree : {tvwMainTree, tvwExpression}) {
        tree->onReturn = [this, tree] {
            bMainTreeContext = tree == tvwMainTree;
            mnuEditMetadata_Click();
        };
        tree->onContextKey = [this, tree] { tvw_ContextKey(tree); };
    }
    connect(mnuEditMetadata, &QAction::triggered, this, &frmMain::mnuEditMetadata_Click);
    connect(mnuEditAttributes, &QAction::triggered, this, &frmMain::mnuEditAttributes_Click);
}

QTreeWidgetItem* frmMain::addNode(QTreeWidget* tree, QTreeWidgetItem* parent,
                                  const std::shared_ptr<DocObject>& obj, const QString& strPicture,
                                  const QString& strSelPicture, const QString& strKey)
{
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    if (tree == tvwExpression) {
        QTreeWidgetItem*& mapped = m_expressionNodes[obj.get()];
        m_bNodesRemapped = m_bNodesRemapped || mapped;
        mapped = node;
    }
    setObject(node, obj);
    setPictures(node, strPicture, strSelPicture, strKey, nodeIcon(strPicture, strSelPicture));
    return node;
}

QTreeWidgetItem* frmMain::setObject(QTreeWidgetItem* node, const std::shared_ptr<DocObject>& obj)
{
    node->setText(0, obj->strTitle());
    node->setData(0, kObjectRole, QVariant::fromValue(obj));
    return node;
}

void frmMain::setPictures(QTreeWidgetItem* node, const QString& strPicture, const QString& strSelPicture,
                          const QString& strKey, const QIcon& icon)
{
    node->setData(0, kKeyRole, strKey);
    node->setData(0, kPictureRole, strPicture);
    node->setData(0, kSelPictureRole, strSelPicture);
    node->setIcon(0, icon);
}

QIcon frmMain::nodeIcon(const QString& strPicture, const QString& strSelPicture) const
{
    QIcon icon(imlTreeIcons.Item(strPicture));
    icon.addPixmap(imlTreeIcons.Item(strSelPicture), QIcon::Selected);
    return icon;
}

void frmMain::ShowAVDocTitle()
{
    if (appState().objAVDoc)
        BuildDocumentTree();
}

void frmMain::BuildDocumentTree()
{
    tvwMainTree->clear();
    const auto doc = appState().objAVDoc;
    if (!doc)
        return;
    // The tree is made whole before its root is placed, which the view then
    // takes in one step. Its nodes share an icon for each pair of pictures,
    // made afresh by each build: a picture may change between builds.
    const QString picture = QStringLiteral("AVDocument");
    auto root = std::make_unique<QTreeWidgetItem>();
    setObject(root.get(), doc);
    setPictures(root.get(), picture, picture, QStringLiteral("AVDoc"), nodeIcon(picture, picture));
    NodeIcons icons;
    AddChildNodes(root.get(), icons);
    tvwMainTree->addTopLevelItem(root.release());
    bMainRootSet = true;
    tvwMainTree->setToolTip(QStringLiteral("AVDocument's Structure"));
}

void frmMain::AddChildNodes(QTreeWidgetItem* node, NodeIcons& icons)
{
    const auto parent = std::dynamic_pointer_cast<ParentObject>(objectOf(node));
    if (!parent)
        return; // a Storage: nothing shows below it
    QString picture, selPicture;
    if (parent->bIsClass("AVDocument")) {
        picture = selPicture = QStringLiteral("Version");
    } else if (parent->bIsClass("Version")) {
        picture = selPicture = QStringLiteral("Media");
    } else {
        picture = QStringLiteral("Storage");
        selPicture = QStringLiteral("ItemSel");
    }
    const auto [icon, bNew] = icons.try_emplace({picture, selPicture});
    if (bNew)
        icon->second = nodeIcon(picture, selPicture);
    // The children's nodes are copies of one holding what they share.
    QTreeWidgetItem shared;
    setPictures(&shared, picture, selPicture, QString(), icon->second);
    for (const auto& child : parent->colChilds()) {
        QTreeWidgetItem* childNode = setObject(new QTreeWidgetItem(shared), child);
        node->addChild(childNode);
        AddChildNodes(childNode, icons);
    }
}

void frmMain::BuildExpressionTree(const std::shared_ptr<Version>& ver)
{
    if (bExpressionRootSet)
        tvwExpression->clear();
    m_expressionNodes.clear();
    m_chainsShown.clear();
    QTreeWidgetItem* root = addNode(tvwExpression, nullptr, ver, QStringLiteral("Version"),
                                    QStringLiteral("Version"), QStringLiteral("Version"));
    bExpressionRootSet = true;
    std::unordered_set<const DocObject*> visited{ver.get()};
    const std::pair<std::shared_ptr<Expression>, QString> mains[] = {
        {ver->vdMainVideo(), QStringLiteral("Video")},
        {ver->auMainAudio(), QStringLiteral("Audio")},
        {ver->trMainTranscript(), QStringLiteral("Transcript")}};
    for (const auto& [expr, picture] : mains)
        if (expr && visited.insert(expr.get()).second)
            AddSubExpressionNodes(addNode(tvwExpression, root, expr, picture, picture), visited);
    // A long chain is walked once now, not at each segment placed.
    for (int i = 0; i < root->childCount(); ++i)
        if (const auto expr = std::dynamic_pointer_cast<Expression>(objectOf(root->child(i)));
            expr && bChainShown(*expr, root->child(i)))
            chainShown(root->child(i));
}

void frmMain::AddSubExpressionNodes(QTreeWidgetItem* node, std::unordered_set<const DocObject*>& visited)
{
    const auto expr = std::dynamic_pointer_cast<Expression>(objectOf(node));
    if (!expr || expr->colSubExpressions().Count() == 0)
        return;
    const auto& col = expr->colSubExpressions();
    // The head is the first segment no other one follows.
    std::unordered_set<const Expression*> followed;
    for (const auto& segment : col)
        if (const auto next = segment->objFollowedBy())
            followed.insert(next.get());
    std::shared_ptr<Expression> head;
    for (const auto& segment : col) {
        if (!followed.count(segment.get())) {
            head = segment;
            break;
        }
    }
    for (auto segment = head; segment && visited.insert(segment.get()).second; segment = segment->objFollowedBy()) {
        const QString picture = segmentPicture(segment);
        AddSubExpressionNodes(addNode(tvwExpression, node, segment, picture, picture), visited);
    }
}

QString frmMain::segmentPicture(const std::shared_ptr<Expression>& segment)
{
    const auto video = std::dynamic_pointer_cast<Video>(segment);
    if (!video)
        return segment->className();
    if (!imlTreeIcons.Contains(video->strGUID()))
        AddSmallKeyFrame(video);
    return video->strGUID();
}

void frmMain::SegmentsChanged(const std::shared_ptr<Expression>& expr,
                              const std::vector<std::shared_ptr<Expression>>& added,
                              const std::vector<std::shared_ptr<Expression>>& removed)
{
    const auto ver = expr ? expr->verVersion() : nullptr;
    if (!ver || !bPlacedSegments(*expr, *ver, added, removed))
        ResetTree(tvwExpression, ver);
}

bool frmMain::bPlacedSegments(const Expression& expr, const Version& ver,
                              const std::vector<std::shared_ptr<Expression>>& added,
                              const std::vector<std::shared_ptr<Expression>>& removed)
{
    if (tvwExpression->topLevelItemCount() != 1 || objectOf(tvwExpression->topLevelItem(0)).get() != &ver)
        return false;
    QTreeWidgetItem* const parent = m_expressionNodes.value(&expr);
    if (!parent)
        return false;
    const QScopedValueRollback placing(m_bPlacingSegments, true);
    // Where the chain was shown, only the nodes that may now have another
    // node after them are looked at: those before a node taken out (their
    // link still names its segment, or was set since) or a node put in.
    const auto shown = m_chainsShown.constFind(parent);
    const std::optional<quint64> iLinks = shown != m_chainsShown.cend() ? std::optional(*shown) : std::nullopt;
    m_chainsShown.remove(parent);
    m_bNodesRemapped = false;
    std::vector<const DocObject*> places;
    std::vector<QTreeWidgetItem*> nodes;
    for (const auto& segment : removed) {
        QTreeWidgetItem* node = m_expressionNodes.value(segment.get());
        if (!node || node->parent() != parent)
            return false;
        nodes.push_back(node);
        std::vector<const Expression*> holders;
        segment->appendLinkHolders(holders);
        places.insert(places.end(), holders.begin(), holders.end());
    }
    // Each node is taken out where it stands then, the rows of all of them
    // found in one pass over the rows.
    std::unordered_map<const QTreeWidgetItem*, int> rowOf;
    for (const QTreeWidgetItem* node : nodes)
        if (!rowOf.emplace(node, -1).second)
            return false; // a segment told twice
    for (int i = 0; i < parent->childCount(); ++i)
        if (const auto it = rowOf.find(parent->child(i)); it != rowOf.end())
            it->second = i;
    std::vector<int> taken; // rows before any was taken out, rising
    for (QTreeWidgetItem* node : nodes) {
        forgetNodes(node);
        delete parent->takeChild(TakePosition(taken, rowOf[node]));
    }
    // Each new segment goes before the node of the segment it is followed by.
    for (const auto& segment : added) {
        if (!segment || m_expressionNodes.contains(segment.get()))
            return false;
        const auto next = segment->objFollowedBy();
        QTreeWidgetItem* nextNode = next ? m_expressionNodes.value(next.get()) : nullptr;
        if (next && (!nextNode || nextNode->parent() != parent))
            return false;
        const int at = nextNode ? parent->indexOfChild(nextNode) : parent->childCount();
        if (at > 0)
            places.push_back(objectOf(parent->child(at - 1)).get());
        places.push_back(segment.get());
        const QString picture = segmentPicture(segment);
        QTreeWidgetItem* node = addNode(tvwExpression, parent, segment, picture, picture);
        if (at < parent->childCount() - 1)
            parent->insertChild(at, parent->takeChild(parent->childCount() - 1));
        std::unordered_set<const DocObject*> visited{segment.get()};
        AddSubExpressionNodes(node, visited);
    }
    const bool bShown = iLinks && !m_bNodesRemapped ? bChainStillShown(expr, parent, *iLinks, std::move(places))
                                                    : bChainShown(expr, parent);
    if (bShown)
        chainShown(parent);
    return bShown;
}

bool frmMain::bChainShown(const Expression& expr, const QTreeWidgetItem* node,
                          const std::vector<const DocObject*>* places) const
{
    // Nodes that follow the chain from a member of the list, once each and
    // as many as the list holds, are what a rebuild shows: every other member
    // is followed, so the first is the head.
    const auto& list = expr.colSubExpressions();
    const int n = node->childCount();
    if (n != list.Count())
        return false;
    if (n == 0)
        return true;
    auto segment = std::dynamic_pointer_cast<Expression>(objectOf(node->child(0)));
    if (!segment || list.IndexOf(segment) == 0)
        return false;
    if (!places) {
        for (int i = 0; i < n; ++i, segment = segment->objFollowedBy())
            if (!segment || m_expressionNodes.value(segment.get()) != node->child(i))
                return false;
        return segment == nullptr;
    }
    if (m_expressionNodes.value(segment.get()) != node->child(0))
        return false;
    for (const DocObject* place : *places) {
        // A node holds its object: one found among the nodes is alive.
        QTreeWidgetItem* at = m_expressionNodes.value(place);
        if (!at || at->parent() != node)
            continue;
        segment = std::dynamic_pointer_cast<Expression>(objectOf(at));
        if (!segment || segment.get() != place)
            return bChainShown(expr, node);
        const int i = node->indexOfChild(at);
        const auto next = segment->objFollowedBy();
        if (i + 1 < n ? !next || m_expressionNodes.value(next.get()) != node->child(i + 1) : next != nullptr)
            return false;
    }
    return true;
}

bool frmMain::bChainStillShown(const Expression& expr, const QTreeWidgetItem* node, quint64 iLinks,
                               std::vector<const DocObject*> places) const
{
    const auto set = Expression::linksSetSince(iLinks);
    if (!set)
        return bChainShown(expr, node);
    places.insert(places.end(), set->begin(), set->end());
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    return bChainShown(expr, node, &places);
}

void frmMain::chainShown(const QTreeWidgetItem* node)
{
    m_chainsShown.insert(node, Expression::iLinksSet());
}

void frmMain::forgetNodes(const QTreeWidgetItem* node)
{
    const auto it = m_expressionNodes.find(objectOf(node).get());
    if (it != m_expressionNodes.end()) {
        m_bNodesRemapped = m_bNodesRemapped || *it != node;
        m_expressionNodes.erase(it);
    }
    m_chainsShown.remove(node);
    for (int i = 0; i < node->childCount(); ++i)
        forgetNodes(node->child(i));
}

namespace {

// What a keyframe icon is made from: the segment's small keyframe picture,
// named by its cache key, or (0) the fixed "Video" picture without one.
qint64 keyframeSource(const Video& video)
{
    const QImage& small = video.picKeyFrameSmall();
    return small.isNull() ? 0 : small.cacheKey();
}

} // namespace

QPixmap frmMain::makeSmallKeyFrame(const Video& video) const
{
    const QImage base = video.picKeyFrameSmall().isNull() ? imlTreeIcons.Item(QStringLiteral("Video")).toImage()
                                                          : video.picKeyFrameSmall();
    return QPixmap::fromImage(keyframeIcon(base, ilFrame));
}

void frmMain::AddSmallKeyFrame(const std::shared_ptr<Video>& video)
{
    if (!video)
        return;
    const QString key = video->strGUID();
    const QString tag = QStringLiteral("keyframe");
    const bool bInStep = m_keyframes.iList == imlTreeIcons.iStamp();
    // Asked again under the same key, the new icon replaces the old.
    imlTreeIcons.Remove(key);
    if (imlTreeIcons.CountTagged(tag) == 0)
        keyframeIconsFrom(appState().objAVDoc); // no icon to keep in order
    else if (!bInStep)
        m_keyframes.bKnown = false;
    imlTreeIcons.Add(key, makeSmallKeyFrame(*video), tag, keyframeSource(*video), iKeyframeSortKey(*video, key));
    m_keyframes.iList = imlTreeIcons.iStamp();
}

void frmMain::keyframeIconsFrom(const std::shared_ptr<AVDocument>& doc)
{
    m_keyframes.bKnown = true;
    m_keyframes.doc = doc;
    m_keyframes.iNames = doc ? doc->collObjects().iNamesStamp() : 0;
    m_keyframes.iDropped = Video::iDroppedPictures();
    m_keyframes.iList = imlTreeIcons.iStamp();
    m_keyframes.pending.clear();
    m_keyframes.mains.clear();
}

quint64 frmMain::iKeyframeSortKey(const Video& video, const QString& key)
{
    auto& state = m_keyframes;
    const auto doc = state.doc.lock();
    if (!state.bKnown || !doc || doc != appState().objAVDoc) {
        state.bKnown = false;
        return 0;
    }
    const Registry& registry = doc->collObjects();
    const auto main = video.objMainExpr();
    const auto named = registry.objectsNamed(key);
    // Changes are told by normalised identifier: an icon under another is
    // looked at each time.
    if (!main || !registry.bEachOnce() || named.size() != 1 || named.front() != &video
        || GUIDRenames::keyOf(key) != key) {
        state.pending.push_back(key);
        return 0;
    }
    state.mains.try_emplace(main.get(), main);
    return registry.iOrderOf(&video);
}

QPixmap frmMain::SmallKeyFrame(const std::shared_ptr<Video>& video)
{
    if (!video)
        return {};
    if (!imlTreeIcons.Contains(video->strGUID()))
        AddSmallKeyFrame(video);
    return imlTreeIcons.Item(video->strGUID());
}

void frmMain::UpdateSmallKeyFrames()
{
    // The icons made so far, of the segments still in the document, stand
    // in registration order, each made again when its picture changed; the
    // others are made when their segments' nodes are first shown.
    const auto doc = appState().objAVDoc;
    if (!bUpdatedChangedKeyframes(doc))
        updateAllKeyframes(doc);
}

bool frmMain::bUpdatedChangedKeyframes(const std::shared_ptr<AVDocument>& doc)
{
    auto& state = m_keyframes;
    if (!state.bKnown || !doc || state.doc.lock() != doc || state.iList != imlTreeIcons.iStamp())
        return false;
    const Registry& registry = doc->collObjects();
    const auto names = registry.namesChangedSince(state.iNames);
    const auto dropped = Video::droppedPicturesSince(state.iDropped);
    if (!registry.bEachOnce() || !names || !dropped
        || std::any_of(state.mains.begin(), state.mains.end(), [](const auto& main) { return main.second.expired(); }))
        return false;
    // The icons under a changed identifier, of a segment whose pictures
    // were dropped, or made since without their segment found.
    std::vector<QString> keys = std::move(state.pending);
    keys.insert(keys.end(), names->begin(), names->end());
    keys.insert(keys.end(), dropped->begin(), dropped->end());
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    // Each one's segment, if any, found before anything changes: a key
    // naming more than one object takes the walk of the whole document.
    const QString tag = QStringLiteral("keyframe");
    std::vector<std::pair<QString, std::shared_ptr<Video>>> found;
    for (QString& key : keys) {
        if (!imlTreeIcons.Find(key, tag))
            continue;
        const auto named = registry.objectsNamed(key);
        if (named.size() > 1)
            return false;
        const auto* video = named.isEmpty() ? nullptr : dynamic_cast<const Video*>(named.front());
        if (video && (video->strGUID() != key || !video->objMainExpr()))
            video = nullptr;
        if (video && GUIDRenames::keyOf(key) != key)
            return false;
        found.emplace_back(std::move(key), video ? std::static_pointer_cast<Video>(const_cast<Video*>(video)->shared_from_this())
                                                 : nullptr);
    }
    for (const auto& [key, video] : found) {
        if (!video) {
            imlTreeIcons.Remove(key);
            continue;
        }
        imlTreeIcons.SetSortKey(key, registry.iOrderOf(video.get()));
        const auto main = video->objMainExpr();
        state.mains.try_emplace(main.get(), main);
        // An icon is made again only from another picture.
        if (const qint64 source = keyframeSource(*video); source != imlTreeIcons.Find(key, tag)->source)
            imlTreeIcons.Replace(key, makeSmallKeyFrame(*video), source);
    }
    imlTreeIcons.SortTagged(tag);
    state.iNames = registry.iNamesStamp();
    state.iDropped = Video::iDroppedPictures();
    state.iList = imlTreeIcons.iStamp();
    state.pending.clear();
    return true;
}

void frmMain::updateAllKeyframes(const std::shared_ptr<AVDocument>& doc)
{
    const QString tag = QStringLiteral("keyframe");
    std::vector<std::shared_ptr<Video>> made;
    std::vector<qint64> madeFrom;
    // The icons' own segments, found by their keys, when each key names one
    // registered object; otherwise every registered object is asked.
    if (doc && !bMadeByKeys(doc->collObjects(), tag, made, madeFrom))
        for (const auto& obj : doc->collObjects()) {
            const auto video = std::dynamic_pointer_cast<Video>(obj);
            if (!video)
                continue;
            const auto* icon = imlTreeIcons.Find(video->strGUID(), tag);
            if (icon && video->objMainExpr()) {
                made.push_back(video);
                madeFrom.push_back(icon->source);
            }
        }
    keyframeIconsFrom(doc);
    // Only the icons of those segments stay, in their registration order:
    // an icon found twice stands where it was first found.
    std::vector<std::pair<QString, quint64>> kept;
    kept.reserve(made.size());
    for (const auto& video : made) {
        kept.emplace_back(video->strGUID(), doc->collObjects().iOrderOf(video.get()));
        const auto main = video->objMainExpr();
        m_keyframes.mains.try_emplace(main.get(), main);
        if (GUIDRenames::keyOf(kept.back().first) != kept.back().first)
            m_keyframes.bKnown = false;
    }
    imlTreeIcons.KeepTagged(tag, kept);
    // An icon is made again only from another picture.
    for (size_t i = 0; i < made.size(); ++i)
        if (const qint64 source = keyframeSource(*made[i]); source != madeFrom[i])
            imlTreeIcons.Replace(kept[i].first, makeSmallKeyFrame(*made[i]), source);
    m_keyframes.bKnown = m_keyframes.bKnown && doc && doc->collObjects().bEachOnce();
    m_keyframes.iDropped = Video::iDroppedPictures();
    m_keyframes.iList = imlTreeIcons.iStamp();
}

bool frmMain::bMadeByKeys(const Registry& registry, const QString& tag, std::vector<std::shared_ptr<Video>>& made,
                          std::vector<qint64>& madeFrom) const
{
    // Looking an icon's segment up costs about four times asking one object:
    // with icons for most of the document the walk is the quicker.
    const std::vector<QString> keys = imlTreeIcons.keysTagged(tag);
    if (!registry.bEachOnce() || keys.size() * 4 > size_t(registry.Count()))
        return false;
    std::vector<std::pair<quint64, std::shared_ptr<Video>>> found;
    for (const QString& key : keys) {
        if (key.isEmpty())
            return false;
        const auto named = registry.objectsNamed(key);
        if (named.size() > 1)
            return false;
        const auto* video = named.isEmpty() ? nullptr : dynamic_cast<const Video*>(named.front());
        if (!video || video->strGUID() != key || !video->objMainExpr())
            continue;
        found.emplace_back(registry.iOrderOf(video),
                           std::static_pointer_cast<Video>(const_cast<Video*>(video)->shared_from_this()));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    made.clear();
    madeFrom.clear();
    for (auto& [order, video] : found) {
        madeFrom.push_back(imlTreeIcons.Find(video->strGUID(), tag)->source);
        made.push_back(std::move(video));
    }
    return true;
}

void frmMain::ResetListImageExpression()
{
    imlTreeIcons.RemoveTagged(QStringLiteral("keyframe"));
    keyframeIconsFrom(appState().objAVDoc);
}

void frmMain::RemoveIcon(const QString& strGUID)
{
    const bool bInStep = m_keyframes.iList == imlTreeIcons.iStamp();
    imlTreeIcons.Remove(strGUID);
    if (bInStep)
        m_keyframes.iList = imlTreeIcons.iStamp();
}

void frmMain::UpdateNodeTitle(const std::shared_ptr<DocObject>& obj)
{
    if (!obj)
        return;
    for (QTreeWidgetItemIterator it(tvwMainTree); *it; ++it)
        if (objectOf(*it) == obj)
            (*it)->setText(0, obj->strTitle());
    for (QTreeWidgetItemIterator it(tvwExpression); *it; ++it) {
        if (objectOf(*it) == obj) {
            (*it)->setText(0, obj->strTitle());
            break;
        }
    }
}

void frmMain::ResetTree(QTreeWidget* tree, const std::shared_ptr<Version>& ver)
{
    tree->clear();
    if (tree == tvwExpression) {
        m_expressionNodes.clear();
        m_chainsShown.clear();
    }
    if (tree == tvwMainTree)
        ShowAVDocTitle();
    else if (ver)
        BuildExpressionTree(ver);
}

void frmMain::ResetTree(Tree tree, const std::shared_ptr<Version>& ver)
{
    ResetTree(treeWidget(tree), ver);
}

void frmMain::ContexMenuManager(const std::shared_ptr<DocObject>& obj, bool bMainTree)
{
    if (!obj)
        return;
    QAction* const mainExpr = mnuAddMainExpr->menuAction();
    if (obj->bIsClass("AVDocument") || obj->bIsClass("Media")) {
        mnuAddChild->setEnabled(true);
        mainExpr->setEnabled(false);
    } else if (obj->bIsClass("Storage")) {
        mnuAddChild->setEnabled(false);
        mainExpr->setEnabled(false);
    } else if (obj->bIsClass("Version") && bMainTree) {
        mnuAddChild->setEnabled(true);
        mainExpr->setEnabled(false);
    } else if (obj->bIsClass("Version")) {
        mnuAddChild->setEnabled(false);
        mainExpr->setEnabled(true);
        UpdateAddMainEntries(); // the expression tree's only Version is its root
    } else if (obj->bIsClass("Video") || obj->bIsClass("Audio") || obj->bIsClass("Transcript")) {
        mnuAddChild->setEnabled(false);
        mainExpr->setEnabled(false);
    }
}

void frmMain::UpdateAddMainEntries()
{
    const auto ver = std::dynamic_pointer_cast<Version>(objectOf(tvwExpression->topLevelItem(0)));
    if (!ver)
        return;
    mnuAddMainVideo->setEnabled(!ver->vdMainVideo());
    mnuAddMainAudio->setEnabled(!ver->auMainAudio());
    mnuAddMainTranscript->setEnabled(!ver->trMainTranscript());
}

void frmMain::tvwMainTree_MouseDown(int button) { iMainTreeButton = button; }

void frmMain::tvwExpression_MouseDown(int button) { iExpressionButton = button; }

void frmMain::tvwMainTree_NodeClick(QTreeWidgetItem* node)
{
    const auto obj = objectOf(node);
    if (!obj)
        return;
    ContexMenuManager(obj, true);
    bMainTreeContext = true;
    if (iMainTreeButton == 1) {
        iMainTreeButton = -1;
        if (const auto storage = std::dynamic_pointer_cast<Storage>(obj)) {
            storage->setBIsSelected(true);
        } else if (const auto ver = std::dynamic_pointer_cast<Version>(obj)) {
            BuildExpressionTree(ver);
        }
    } else if (iMainTreeButton == 2) {
        iMainTreeButton = -1;
        popupMenu(mnuEdit);
    }
}

void frmMain::tvwExpression_NodeClick(QTreeWidgetItem* node)
{
    const auto obj = objectOf(node);
    if (!obj)
        return;
    ContexMenuManager(obj, false);
    bMainTreeContext = false;
    if (iExpressionButton == 1) {
        iExpressionButton = -1;
    } else if (iExpressionButton == 2) {
        iExpressionButton = -1;
        popupMenu(mnuEdit);
    }
}

void frmMain::tvw_KeyUp(QTreeWidget* tree, int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Delete && !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        DeleteSelectedObject(tree);
}

void frmMain::tvw_ContextKey(TreeView* tree)
{
    QTreeWidgetItem* node = tree->currentItem();
    if (!node)
        return;
    tree->setCurrentItem(node); // selected, as a right press selects
    const QRect rect = tree->visualItemRect(node);
    m_popupAt = tree->viewport()->mapToGlobal(QPoint(rect.left() + 20, rect.center().y()));
    if (tree == tvwMainTree) {
        iMainTreeButton = 2;
        tvwMainTree_NodeClick(node);
    } else {
        iExpressionButton = 2;
        tvwExpression_NodeClick(node);
    }
    m_popupAt.reset();
}

void frmMain::DeleteSelectedObject(QTreeWidget* tree)
{
    QTreeWidgetItem* node = selectedNode(tree);
    const auto obj = objectOf(node);
    const auto doc = appState().objAVDoc;
    if (!obj || !doc || obj->bIsClass("AVDocument"))
        return;
    const QString question = text(msg::ConfirmDeleteObject) + QLatin1Char(' ') + node->text(0) + QLatin1Char(' ')
                             + text(msg::AndAllChildren);
    if (prompts().MsgBox(question, Prompts::YesNo) != Prompts::Yes)
        return;

    const bool bVersion = obj->bIsClass("Version");
    // Taken before anything changes: the expression tree's root names the
    // Version to show again.
    const auto shownVersion = std::dynamic_pointer_cast<Version>(objectOf(tvwExpression->topLevelItem(0)));
    QString error;
    const bool ran = guarded([&] {
        error = obj->strRemoveAllChilds();
        if (error.isEmpty()) {
            RemoveIcon(obj->strGUID());
            std::shared_ptr<RegistryItem> removed = obj;
            doc->RemoveObject(removed);
        }
    });
    if (!error.isEmpty()) {
        prompts().MsgBox(error, Prompts::OKOnly);
        return;
    }
    // A removal that failed half way may have taken any part of the tree.
    if (!ran || tree == tvwMainTree || bVersion) {
        ResetTree(tvwMainTree, nullptr);
        ResetTree(tvwExpression, nullptr);
    } else {
        ResetTree(tvwExpression, shownVersion);
    }
    // A deleted main expression may be added again.
    UpdateAddMainEntries();
}

void frmMain::mnuEditMetadata_Click()
{
    if (!bMainRootSet)
        return;
    QTreeWidget* tree = bMainTreeContext ? static_cast<QTreeWidget*>(tvwMainTree) : tvwExpression;
    if (const auto obj = selectedObject(tree))
        guarded([&] { obj->ShowForm(this); });
}

void frmMain::mnuEditAttributes_Click()
{
    if (!bMainRootSet)
        return;
    QTreeWidget* tree = bMainTreeContext ? static_cast<QTreeWidget*>(tvwMainTree) : tvwExpression;
    if (const auto obj = selectedObject(tree))
        guarded([&] { obj->EditAttributesForm(this); });
}

} // namespace vimra
