#include "app/updates/AppcastFeed.h"
#include "app/updates/WebAddress.h"

#include <QXmlStreamReader>

namespace vorlith {

namespace {

// Reads one <item> whose start the reader stands on; the reader ends on its end.
std::optional<AppcastFeed::Item> readItem(QXmlStreamReader& xml)
{
    std::optional<ReleaseVersion> version;
    bool versionSeen = false;
    QUrl link;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == QLatin1String(AppcastFeed::versionNamespace) && xml.name() == QLatin1String("version")) {
            const QString text = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
            // Two versions in one item are one too many to choose from.
            version = versionSeen ? std::nullopt : ReleaseVersion::parse(text);
            versionSeen = true;
        } else if (xml.namespaceUri().isEmpty() && xml.name() == QLatin1String("link")) {
            const QUrl url(xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement).trimmed(), QUrl::StrictMode);
            link = isWebAddress(url) ? url : QUrl();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (!version)
        return std::nullopt;
    return AppcastFeed::Item{*version, link};
}

} // namespace

std::optional<std::vector<AppcastFeed::Item>> AppcastFeed::parse(const QByteArray& data)
{
    QXmlStreamReader xml(data);
    std::vector<Item> items;
    bool sawChannel = false;
    // The prolog: a DTD (and with it any entity of its own) is refused outright.
    while (!xml.atEnd() && !xml.isStartElement()) {
        xml.readNext();
        if (xml.isDTD())
            return std::nullopt;
    }
    if (!xml.isStartElement() || !xml.namespaceUri().isEmpty() || xml.name() != QLatin1String("rss"))
        return std::nullopt;
    while (xml.readNextStartElement()) {
        if (!xml.namespaceUri().isEmpty() || xml.name() != QLatin1String("channel") || sawChannel)
            return std::nullopt;
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (xml.namespaceUri().isEmpty() && xml.name() == QLatin1String("item")) {
                if (std::optional<Item> item = readItem(xml))
                    items.push_back(std::move(*item));
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    // Anything after the root (a second root, a DTD) is an error of the reader.
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isDTD())
            return std::nullopt;
    }
    if (xml.hasError() || !sawChannel)
        return std::nullopt;
    return items;
}

std::optional<AppcastItem> AppcastFeed::newestAbove(const std::vector<Item>& items, const ReleaseVersion& running)
{
    const Item* newest = nullptr;
    for (const Item& item : items) {
        if (running < item.version && (!newest || newest->version < item.version))
            newest = &item;
    }
    if (!newest)
        return std::nullopt;
    return AppcastItem{newest->version.text(), true, newest->link};
}

} // namespace vorlith
