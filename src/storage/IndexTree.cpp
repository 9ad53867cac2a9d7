#include "storage/IndexTree.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>

namespace orv::storage::detail {

namespace {
constexpr quint32 kPageMagic = 0x45474150; // "PAGE"
constexpr quint32 kMetaMagic = 0x4154454D; // "META"
constexpr const char* kSlotMagic = "ORVIDX02";
constexpr quint8 kLeafPage = 1;
constexpr quint8 kInnerPage = 2;
// 128 short keys make a page of a few kilobytes: one read per level.
constexpr size_t kMaxEntries = 128;
constexpr size_t kBuildEntries = 96; // bulk-built pages leave room for inserts
constexpr size_t kMaxLeafBytes = 64 * 1024;
constexpr int kMaxDepth = 40;
constexpr quint32 kMaxPage = 16u << 20;
qint64 g_compactSlack = 512 * 1024;

[[noreturn]] void corrupt(const QString& display, const QString& why)
{
    throw EngineError(code::IndexCorrupt, QStringLiteral("Tabella %1 danneggiata: indice: %2.").arg(display, why));
}

size_t bytesOf(const std::vector<std::string>& keys)
{
    size_t n = 0;
    for (const auto& k : keys)
        n += k.size() + 4;
    return n;
}

void putBigEndian(std::string& out, quint64 v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(char(quint8(v >> (8 * i))));
}
quint64 getBigEndian(const char* p, int bytes)
{
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(p[i]);
    return v;
}
} // namespace

void setIndexCompactionSlack(qint64 bytes) { g_compactSlack = std::max<qint64>(0, bytes); }

// --- Row map keys ----------------------------------------------------------------

std::string rowMapPrefix(quint64 rowId)
{
    std::string k;
    putBigEndian(k, rowId, 8);
    return k;
}

std::string rowMapKey(const RowLoc& l)
{
    std::string k = rowMapPrefix(l.rowId);
    putBigEndian(k, l.offset, 8);
    putBigEndian(k, l.len, 4);
    return k;
}

bool parseRowMapKey(std::string_view key, RowLoc* out)
{
    if (key.size() != 20)
        return false;
    out->rowId = getBigEndian(key.data(), 8);
    out->offset = getBigEndian(key.data() + 8, 8);
    out->len = quint32(getBigEndian(key.data() + 16, 4));
    return out->rowId != 0 && out->offset >= quint64(kDataStart) && out->len >= 8 && out->len <= kMaxRecord;
}

PageRef PageSink::append(const QByteArray& page)
{
    PageRef r;
    r.off = quint64(end());
    r.len = quint32(page.size());
    r.crc = crc32(page.constData(), size_t(page.size()));
    bytes.append(page);
    return r;
}

// --- Nodes -------------------------------------------------------------------------

struct IndexTree::Node {
    bool leaf = true;
    bool dirty = false;
    std::vector<std::string> keys; // leaf: sorted
    std::vector<Child> kids;       // inner
};

struct IndexTree::Child {
    std::string sep;   // every key of this child is >= sep (not used for a node's first child)
    quint64 count = 0; // keys under this child
    PageRef ref;       // its page, while the node is not loaded or not changed
    mutable std::unique_ptr<Node> node;
};

IndexTree::IndexTree() : m_root(std::make_unique<Child>()) {}

IndexTree::IndexTree(const PageSource* source, const TreeRoot& root, QString display)
    : m_source(source), m_display(std::move(display)), m_root(std::make_unique<Child>())
{
    m_root->ref = root.ref;
    m_root->count = root.count;
}

IndexTree::IndexTree(IndexTree&&) noexcept = default;
IndexTree& IndexTree::operator=(IndexTree&&) noexcept = default;
IndexTree::~IndexTree() = default;

IndexTree IndexTree::build(const std::vector<std::string>& sorted)
{
    IndexTree t;
    std::vector<Child> level;
    for (size_t i = 0; i < sorted.size();) {
        Child c;
        c.node = std::make_unique<Node>();
        c.node->dirty = true;
        size_t bytes = 0;
        while (i < sorted.size() && c.node->keys.size() < kBuildEntries
               && (c.node->keys.empty() || bytes + sorted[i].size() + 4 <= kMaxLeafBytes)) {
            bytes += sorted[i].size() + 4;
            c.node->keys.push_back(sorted[i++]);
        }
        c.sep = c.node->keys.front();
        c.count = c.node->keys.size();
        level.push_back(std::move(c));
    }
    while (level.size() > 1) {
        std::vector<Child> up;
        for (size_t i = 0; i < level.size();) {
            Child c;
            c.node = std::make_unique<Node>();
            c.node->leaf = false;
            c.node->dirty = true;
            c.sep = level[i].sep;
            for (size_t n = 0; n < kBuildEntries && i < level.size(); ++n, ++i) {
                c.count += level[i].count;
                c.node->kids.push_back(std::move(level[i]));
            }
            up.push_back(std::move(c));
        }
        level = std::move(up);
    }
    if (!level.empty()) {
        *t.m_root = std::move(level.front());
        t.m_root->sep.clear();
    } else {
        t.m_root->node = std::make_unique<Node>();
        t.m_root->node->dirty = true;
    }
    return t;
}

IndexTree::Node& IndexTree::load(const Child& c, int depth) const
{
    if (c.node)
        return *c.node;
    if (depth > kMaxDepth)
        corrupt(m_display, QStringLiteral("troppi livelli"));
    auto node = std::make_unique<Node>();
    if (c.ref.len == 0) {
        if (c.count != 0)
            corrupt(m_display, QStringLiteral("pagina mancante"));
        c.node = std::move(node);
        return *c.node;
    }
    if (!m_source)
        corrupt(m_display, QStringLiteral("pagina mancante"));
    const QByteArray page = m_source->readPage(c.ref);
    Reader r(page.constData(), size_t(page.size()));
    const quint32 magic = r.u32();
    const quint8 kind = r.u8();
    r.raw(3);
    const quint32 n = r.u32();
    if (!r.ok() || magic != kPageMagic || (kind != kLeafPage && kind != kInnerPage))
        corrupt(m_display, QStringLiteral("pagina non riconosciuta"));
    if (kind == kLeafPage) {
        if (n != c.count || n > r.left() / 4)
            corrupt(m_display, QStringLiteral("conteggio delle voci"));
        node->keys.reserve(n);
        for (quint32 i = 0; i < n; ++i) {
            const quint32 len = r.u32();
            const char* p = r.raw(len);
            if (!p)
                corrupt(m_display, QStringLiteral("voce troncata"));
            node->keys.emplace_back(p, len);
            if (i > 0 && !(node->keys[i - 1] < node->keys[i]))
                corrupt(m_display, QStringLiteral("ordine delle voci"));
        }
    } else {
        node->leaf = false;
        if (n == 0 || n > r.left() / 28)
            corrupt(m_display, QStringLiteral("conteggio delle pagine"));
        node->kids.resize(n);
        quint64 total = 0;
        for (quint32 i = 0; i < n; ++i) {
            Child& k = node->kids[i];
            k.ref.off = r.u64();
            k.ref.len = r.u32();
            k.ref.crc = r.u32();
            k.count = r.u64();
            const quint32 sepLen = r.u32();
            const char* p = r.raw(sepLen);
            if (!p || k.ref.len == 0 || k.count == 0 || k.count > c.count - total)
                corrupt(m_display, QStringLiteral("riferimento a una pagina"));
            k.sep.assign(p, sepLen);
            total += k.count;
            if (i > 1 && !(node->kids[i - 1].sep < k.sep))
                corrupt(m_display, QStringLiteral("ordine delle pagine"));
        }
        if (total != c.count)
            corrupt(m_display, QStringLiteral("conteggio delle voci"));
    }
    if (r.left() != 0)
        corrupt(m_display, QStringLiteral("lunghezza di una pagina"));
    c.node = std::move(node);
    return *c.node;
}

void IndexTree::touch(Child& c)
{
    Node& n = *c.node;
    if (!n.dirty) {
        m_liveDelta -= qint64(c.ref.len);
        n.dirty = true;
        c.ref = PageRef();
    }
}

size_t IndexTree::size() const { return size_t(m_root->count); }

const std::string& IndexTree::at(size_t pos) const
{
    if (m_hint.stamp == m_stamp && m_hint.leaf && pos >= m_hint.start && pos - m_hint.start < m_hint.leaf->keys.size())
        return m_hint.leaf->keys[pos - m_hint.start];
    if (pos >= size())
        corrupt(m_display, QStringLiteral("posizione oltre la fine"));
    const Child* c = m_root.get();
    size_t base = 0;
    for (int depth = 0;; ++depth) {
        const Node& n = load(*c, depth);
        if (n.leaf) {
            if (pos - base >= n.keys.size())
                corrupt(m_display, QStringLiteral("conteggio delle voci"));
            m_hint = Hint{&n, base, m_stamp};
            return n.keys[pos - base];
        }
        size_t i = 0;
        while (i < n.kids.size() && pos - base >= n.kids[i].count)
            base += n.kids[i++].count;
        if (i == n.kids.size())
            corrupt(m_display, QStringLiteral("conteggio delle voci"));
        c = &n.kids[i];
    }
}

size_t IndexTree::partitionPoint(const std::function<bool(std::string_view)>& before) const
{
    const Child* c = m_root.get();
    size_t base = 0;
    for (int depth = 0;; ++depth) {
        const Node& n = load(*c, depth);
        if (n.leaf) {
            const auto it = std::partition_point(n.keys.begin(), n.keys.end(),
                                                 [&](const std::string& k) { return before(k); });
            return base + size_t(it - n.keys.begin());
        }
        // Separators bound their children from below, so the first separator
        // that fails names the child after the one holding the point.
        const auto it = std::partition_point(n.kids.begin() + 1, n.kids.end(),
                                             [&](const Child& k) { return before(k.sep); });
        const size_t j = size_t(it - n.kids.begin()) - 1;
        for (size_t i = 0; i < j; ++i)
            base += n.kids[i].count;
        c = &n.kids[j];
    }
}

size_t IndexTree::lowerBound(std::string_view key) const
{
    return partitionPoint([key](std::string_view k) { return k < key; });
}

bool IndexTree::contains(std::string_view key) const
{
    const size_t p = lowerBound(key);
    return p < size() && at(p) == key;
}

namespace {
// The child whose range holds `key`: the last one whose separator is <= key.
size_t childFor(const std::vector<IndexTree::Child>& kids, std::string_view key)
{
    const auto it = std::upper_bound(kids.begin() + 1, kids.end(), key,
                                     [](std::string_view k, const IndexTree::Child& c) { return k < c.sep; });
    return size_t(it - kids.begin()) - 1;
}
} // namespace

void IndexTree::insert(std::string key)
{
    ++m_stamp;
    std::unique_ptr<Child> split;
    insertInto(*m_root, std::move(key), 0, &split);
    if (!split)
        return;
    auto root = std::make_unique<Node>();
    root->leaf = false;
    root->dirty = true;
    Child left;
    left.count = m_root->count;
    left.ref = m_root->ref;
    left.node = std::move(m_root->node);
    const quint64 total = left.count + split->count;
    root->kids.push_back(std::move(left));
    root->kids.push_back(std::move(*split));
    m_root = std::make_unique<Child>();
    m_root->count = total;
    m_root->node = std::move(root);
}

void IndexTree::insertInto(Child& c, std::string&& key, int depth, std::unique_ptr<Child>* split)
{
    Node& n = load(c, depth);
    if (n.leaf) {
        const auto it = std::lower_bound(n.keys.begin(), n.keys.end(), key);
        if (it != n.keys.end() && *it == key)
            return;
        touch(c);
        n.keys.insert(it, std::move(key));
        ++c.count;
        if (n.keys.size() > kMaxEntries || (n.keys.size() >= 2 && bytesOf(n.keys) > kMaxLeafBytes)) {
            auto right = std::make_unique<Node>();
            right->dirty = true;
            const size_t half = n.keys.size() / 2;
            right->keys.assign(std::make_move_iterator(n.keys.begin() + qsizetype(half)), std::make_move_iterator(n.keys.end()));
            n.keys.resize(half);
            auto s = std::make_unique<Child>();
            s->sep = right->keys.front();
            s->count = right->keys.size();
            s->node = std::move(right);
            c.count -= s->count;
            *split = std::move(s);
        }
        return;
    }
    const size_t i = childFor(n.kids, key);
    const quint64 before = n.kids[i].count;
    std::unique_ptr<Child> sub;
    insertInto(n.kids[i], std::move(key), depth + 1, &sub);
    const quint64 added = n.kids[i].count + (sub ? sub->count : 0) - before;
    if (added == 0)
        return;
    touch(c);
    c.count += added;
    if (!sub)
        return;
    n.kids.insert(n.kids.begin() + qsizetype(i) + 1, std::move(*sub));
    if (n.kids.size() > kMaxEntries) {
        auto right = std::make_unique<Node>();
        right->leaf = false;
        right->dirty = true;
        const size_t half = n.kids.size() / 2;
        right->kids.assign(std::make_move_iterator(n.kids.begin() + qsizetype(half)), std::make_move_iterator(n.kids.end()));
        n.kids.resize(half);
        auto s = std::make_unique<Child>();
        s->sep = right->kids.front().sep;
        for (const Child& k : right->kids)
            s->count += k.count;
        s->node = std::move(right);
        c.count -= s->count;
        *split = std::move(s);
    }
}

bool IndexTree::erase(std::string_view key)
{
    ++m_stamp;
    if (!eraseFrom(*m_root, key, 0))
        return false;
    // An inner root with a single child gives way to it.
    while (m_root->node && !m_root->node->leaf && m_root->node->kids.size() == 1) {
        auto only = std::make_unique<Child>(std::move(m_root->node->kids.front()));
        only->sep.clear();
        m_root = std::move(only);
    }
    if (m_root->node && !m_root->node->leaf && m_root->node->kids.empty()) {
        m_root->node = std::make_unique<Node>();
        m_root->node->dirty = true;
    }
    return true;
}

bool IndexTree::eraseFrom(Child& c, std::string_view key, int depth)
{
    Node& n = load(c, depth);
    if (n.leaf) {
        const auto it = std::lower_bound(n.keys.begin(), n.keys.end(), key);
        if (it == n.keys.end() || *it != key)
            return false;
        touch(c);
        n.keys.erase(it);
        --c.count;
        return true;
    }
    const size_t i = childFor(n.kids, key);
    if (!eraseFrom(n.kids[i], key, depth + 1))
        return false;
    touch(c);
    --c.count;
    if (n.kids[i].count == 0)
        n.kids.erase(n.kids.begin() + qsizetype(i));
    return true;
}

void IndexTree::loadAll() const
{
    // Each key must lie within the bounds its ancestors' separators give it.
    struct Walk {
        const IndexTree* t;
        const std::string* last = nullptr;
        void go(const Child& c, int depth, const std::string* lo, const std::string* hi)
        {
            const Node& n = t->load(c, depth);
            if (n.leaf) {
                for (const std::string& k : n.keys) {
                    if ((lo && k < *lo) || (hi && !(k < *hi)) || (last && !(*last < k)))
                        corrupt(t->m_display, QStringLiteral("ordine delle voci"));
                    last = &k;
                }
                return;
            }
            for (size_t i = 0; i < n.kids.size(); ++i)
                go(n.kids[i], depth + 1, i == 0 ? lo : &n.kids[i].sep, i + 1 < n.kids.size() ? &n.kids[i + 1].sep : hi);
        }
    };
    Walk{this}.go(*m_root, 0, nullptr, nullptr);
}

void IndexTree::dirtyAll(Child& c)
{
    load(c, 0);
    touch(c);
    for (Child& k : c.node->kids)
        dirtyAll(k);
}

void IndexTree::markAllDirty()
{
    loadAll();
    dirtyAll(*m_root);
}

namespace {
QByteArray encodeNode(const IndexTree::Node& n)
{
    Writer w;
    w.u32(kPageMagic);
    w.u8(n.leaf ? kLeafPage : kInnerPage);
    w.u8(0);
    w.u8(0);
    w.u8(0);
    if (n.leaf) {
        w.u32(quint32(n.keys.size()));
        for (const std::string& k : n.keys) {
            w.u32(quint32(k.size()));
            w.raw(k.data(), qsizetype(k.size()));
        }
    } else {
        w.u32(quint32(n.kids.size()));
        for (const IndexTree::Child& k : n.kids) {
            w.u64(k.ref.off);
            w.u32(k.ref.len);
            w.u32(k.ref.crc);
            w.u64(k.count);
            w.u32(quint32(k.sep.size()));
            w.raw(k.sep.data(), qsizetype(k.sep.size()));
        }
    }
    return w.bytes;
}
} // namespace

PageRef IndexTree::saveChild(Child& c, PageSink& sink)
{
    if (!c.node || !c.node->dirty)
        return c.ref;
    Node& n = *c.node;
    if (n.leaf && n.keys.empty()) {
        n.dirty = false;
        c.ref = PageRef();
        return c.ref;
    }
    for (Child& k : n.kids)
        saveChild(k, sink);
    c.ref = sink.append(encodeNode(n));
    m_liveDelta += qint64(c.ref.len);
    n.dirty = false;
    return c.ref;
}

TreeRoot IndexTree::save(PageSink& sink)
{
    TreeRoot r;
    r.ref = saveChild(*m_root, sink);
    r.count = m_root->count;
    return r;
}

qint64 IndexTree::takeLiveDelta()
{
    const qint64 d = m_liveDelta;
    m_liveDelta = 0;
    return d;
}

// --- The index file ------------------------------------------------------------------

namespace {
QByteArray encodeSlot(const IndexState& st, const QByteArray& inlineMeta)
{
    Writer p;
    p.u64(st.seq);
    p.raw(st.generation.constData(), 16);
    p.u64(quint64(st.coveredEnd));
    p.u64(quint64(st.lastRecord));
    p.u32(st.lastRecordCrc);
    p.u64(st.nextRowId);
    p.u64(quint64(st.nextAutoInc));
    p.u64(quint64(st.pagesEnd));
    p.u64(quint64(st.liveBytes));
    p.u64(st.meta.off);
    p.u32(st.meta.len);
    p.u32(st.meta.crc);
    p.u32(quint32(inlineMeta.size()));
    p.raw(inlineMeta.constData(), inlineMeta.size());
    Writer w;
    w.raw(kSlotMagic, 8);
    w.u32(quint32(p.bytes.size()));
    w.u32(crc32(p.bytes.constData(), size_t(p.bytes.size())));
    w.bytes.append(p.bytes);
    w.bytes.append(QByteArray(kIdxSlot - w.bytes.size(), '\0'));
    return w.bytes;
}

bool decodeSlot(const char* block, IndexState* st, QByteArray* inlineMeta)
{
    if (std::memcmp(block, kSlotMagic, 8) != 0)
        return false;
    Reader h(block + 8, 8);
    const quint32 len = h.u32();
    const quint32 crc = h.u32();
    if (len > kIdxSlot - 16 || crc32(block + 16, len) != crc)
        return false;
    Reader r(block + 16, len);
    st->seq = r.u64();
    const char* gen = r.raw(16);
    st->coveredEnd = qint64(r.u64());
    st->lastRecord = qint64(r.u64());
    st->lastRecordCrc = r.u32();
    st->nextRowId = r.u64();
    st->nextAutoInc = qint64(r.u64());
    st->pagesEnd = qint64(r.u64());
    st->liveBytes = qint64(r.u64());
    st->meta.off = r.u64();
    st->meta.len = r.u32();
    st->meta.crc = r.u32();
    const quint32 inlineLen = r.u32();
    const char* meta = r.raw(inlineLen);
    if (!gen || !meta || !r.ok() || r.left() != 0)
        return false;
    *inlineMeta = QByteArray(meta, qsizetype(inlineLen));
    st->generation = QByteArray(gen, 16);
    return true;
}

QByteArray encodeMeta(const Schema& schema, const std::vector<TreeRoot>& roots)
{
    Writer w;
    w.u32(kMetaMagic);
    writeSchema(w, schema);
    w.u16(quint16(roots.size()));
    for (const TreeRoot& t : roots) {
        w.u64(t.ref.off);
        w.u32(t.ref.len);
        w.u32(t.ref.crc);
        w.u64(t.count);
    }
    return w.bytes;
}

// A meta page small enough travels inside the superblock: one read less at open.
constexpr qsizetype kMaxInlineMeta = kIdxSlot - 256;
} // namespace

QByteArray IndexFile::readPage(const PageRef& ref) const
{
    if (ref.len == 0 || ref.len > kMaxPage || ref.off < quint64(kIdxPagesStart)
        || ref.off > quint64(m_state.pagesEnd) || ref.len > quint64(m_state.pagesEnd) - ref.off)
        corrupt(m_display, QStringLiteral("riferimento a una pagina fuori dal file"));
    QByteArray b(qsizetype(ref.len), Qt::Uninitialized);
    if (m_file.readAt(qint64(ref.off), b.data(), b.size()) != b.size())
        corrupt(m_display, QStringLiteral("pagina incompleta"));
    if (crc32(b.constData(), size_t(b.size())) != ref.crc)
        corrupt(m_display, QStringLiteral("pagina danneggiata"));
    return b;
}

void IndexFile::open(const QString& path, const QString& display)
{
    m_display = display;
    m_path = path;
    if (!m_file.open(path, false, display)) {
        m_path = existingCaseVariant(path);
        if (m_path == path || !m_file.open(m_path, false, display))
            corrupt(display, QStringLiteral("file mancante"));
    }
    QByteArray head(kIdxPagesStart, Qt::Uninitialized);
    const qint64 got = m_file.readAt(0, head.data(), head.size());
    struct Candidate {
        IndexState st;
        QByteArray inlineMeta;
    };
    std::vector<Candidate> intact;
    for (int s = 0; s < 2; ++s) {
        Candidate c;
        if (got >= (s + 1) * kIdxSlot && decodeSlot(head.constData() + s * kIdxSlot, &c.st, &c.inlineMeta)
            && c.st.seq % 2 == quint64(s) && c.st.pagesEnd >= kIdxPagesStart)
            intact.push_back(c);
    }
    std::sort(intact.begin(), intact.end(), [](const Candidate& a, const Candidate& b) { return a.st.seq > b.st.seq; });
    if (intact.empty())
        corrupt(display, QStringLiteral("intestazione"));
    // The newest superblock wins; the older one stands in when the pages it
    // names cannot be read (a checkpoint cut short, a file cut short).
    std::optional<EngineError> firstError;
    for (const Candidate& c : intact) {
        m_state = c.st;
        try {
            const QByteArray meta = c.inlineMeta.isEmpty() ? readPage(c.st.meta) : c.inlineMeta;
            Reader r(meta.constData(), size_t(meta.size()));
            Schema schema;
            int err = 0;
            if (r.u32() != kMetaMagic || !readSchema(r, &schema, &err)) {
                if (err == code::InvalidIndexField)
                    throw EngineError(code::InvalidIndexField,
                                      QStringLiteral("Tabella %1 danneggiata: numero di campo non valido in un indice.").arg(display));
                corrupt(display, QStringLiteral("struttura"));
            }
            const quint16 n = r.u16();
            std::vector<TreeRoot> roots(n);
            for (TreeRoot& t : roots) {
                t.ref.off = r.u64();
                t.ref.len = r.u32();
                t.ref.crc = r.u32();
                t.count = r.u64();
            }
            if (!r.ok() || r.left() != 0)
                corrupt(display, QStringLiteral("struttura"));
            m_schema = schema;
            m_roots = std::move(roots);
            return;
        } catch (const EngineError& e) {
            if (!firstError)
                firstError = e;
        }
    }
    throw *firstError;
}

bool IndexFile::wantsCompaction() const
{
    const qint64 dead = m_state.pagesEnd - kIdxPagesStart - m_state.liveBytes;
    return dead > std::max(m_state.liveBytes, g_compactSlack);
}

void IndexFile::checkpoint(IndexState st, const Schema& schema, const std::vector<IndexTree*>& trees)
{
    PageSink sink;
    sink.base = m_state.pagesEnd;
    std::vector<TreeRoot> roots;
    qint64 live = m_state.liveBytes - qint64(m_state.meta.len);
    for (IndexTree* t : trees) {
        roots.push_back(t->save(sink));
        live += t->takeLiveDelta();
    }
    QByteArray meta = encodeMeta(schema, roots);
    st.meta = PageRef();
    if (meta.size() > kMaxInlineMeta) {
        st.meta = sink.append(meta);
        meta.clear();
    }
    live += qint64(st.meta.len);
    // Pages first, then the superblock that names them, into the slot not in use.
    if (!sink.bytes.isEmpty()) {
        m_file.writeAt(sink.base, sink.bytes.constData(), sink.bytes.size());
        m_file.sync();
    }
    st.seq = m_state.seq + 1;
    st.pagesEnd = sink.end();
    st.liveBytes = std::max<qint64>(0, live);
    const QByteArray slot = encodeSlot(st, meta);
    m_file.writeAt(qint64(st.seq % 2) * kIdxSlot, slot.constData(), slot.size());
    m_file.sync();
    m_state = st;
    m_schema = schema;
    m_roots = std::move(roots);
}

QByteArray IndexFile::encode(IndexState st, const Schema& schema, const std::vector<IndexTree*>& trees)
{
    PageSink sink;
    std::vector<TreeRoot> roots;
    for (IndexTree* t : trees) {
        roots.push_back(t->save(sink));
        t->takeLiveDelta();
    }
    QByteArray meta = encodeMeta(schema, roots);
    st.meta = PageRef();
    if (meta.size() > kMaxInlineMeta) {
        st.meta = sink.append(meta);
        meta.clear();
    }
    st.pagesEnd = sink.end();
    st.liveBytes = sink.bytes.size();
    QByteArray out(kIdxPagesStart, '\0');
    const QByteArray slot = encodeSlot(st, meta);
    std::memcpy(out.data() + qint64(st.seq % 2) * kIdxSlot, slot.constData(), size_t(slot.size()));
    out.append(sink.bytes);
    return out;
}

} // namespace orv::storage::detail
