#pragma once

#include "ui/shell/ShellNamespace.h"

#include <QPixmap>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace sorvanel::ui::testing {

/// A namespace held in memory, with faults to switch on per folder. Items are numbered; an
/// item ID carries the number as four bytes.
class FakeShellNamespace : public ShellNamespace
{
public:
    struct Entry
    {
        Entry(std::string label_, std::string parsingName_, bool fileSystem_ = true,
            bool hidden_ = false, int iconIndex_ = 1)
            : label(std::move(label_))
            , parsingName(std::move(parsingName_))
            , fileSystem(fileSystem_)
            , hidden(hidden_)
            , iconIndex(iconIndex_)
        {
        }

        std::string label;
        std::string parsingName; ///< the path of a file-system folder
        bool fileSystem = true;
        bool hidden = false;
        int iconIndex = 1;
        bool enumFails = false;
        bool bindFails = false;
        bool labelFails = false;
        bool noPath = false; ///< a file-system folder whose path cannot be had
        ShellResult menuResult = shellOk; ///< what asking for its context menu answers
        ShellResult invokeResult = shellOk;
        std::string failureReason; ///< said when invoking fails
        std::vector<int> children;
        int enumCalls = 0;
    };

    FakeShellNamespace() { m_entries.push_back({"Desktop", "::desktop", false}); }

    /// Adds an item below `parent` (0: the desktop) and returns its number.
    int add(int parent, Entry entry)
    {
        m_entries.push_back(std::move(entry));
        int id = static_cast<int>(m_entries.size()) - 1;
        m_entries[static_cast<std::size_t>(parent)].children.push_back(id);
        return id;
    }
    /// A file-system folder whose label is the last part of its path.
    int addFolder(int parent, const std::string& path)
    {
        return add(parent, {path.substr(path.find_last_of('/') + 1), path});
    }
    int addVirtual(int parent, const std::string& label, const std::string& parsingName)
    {
        return add(parent, {label, parsingName, false});
    }

    Entry& entry(int id) { return m_entries.at(static_cast<std::size_t>(id)); }

    static int idOf(std::span<const std::uint8_t> payload)
    {
        int id = -1;
        if (payload.size() == sizeof id)
            std::memcpy(&id, payload.data(), sizeof id);
        return id;
    }
    static IdList itemId(int id)
    {
        std::uint8_t bytes[sizeof id];
        std::memcpy(bytes, &id, sizeof id);
        return makeItemId(bytes);
    }
    Entry* lookUp(const std::uint8_t* relativeId)
    {
        auto payloads = itemPayloads(relativeId);
        if (payloads.size() != 1)
            return nullptr;
        int id = idOf(payloads.front());
        return id > 0 && id < static_cast<int>(m_entries.size()) ? &entry(id) : nullptr;
    }

    std::shared_ptr<ShellFolder> desktop() override { return std::make_shared<Folder>(*this, 0); }

    std::optional<std::string> pathFromIdList(const std::uint8_t* absoluteId) override
    {
        auto payloads = itemPayloads(absoluteId);
        if (payloads.empty())
            return std::nullopt;
        const Entry& last = entry(idOf(payloads.back()));
        if (!last.fileSystem || last.noPath)
            return std::nullopt;
        return last.parsingName;
    }

    ShellIcon iconOf(const std::uint8_t* absoluteId, bool open) override
    {
        auto payloads = itemPayloads(absoluteId);
        int index = entry(idOf(payloads.back())).iconIndex;
        if (index < 0)
            return {};
        QPixmap image(16, 16);
        image.fill(QColor::fromHsv((index * 37) % 360, 200, open ? 255 : 180));
        return {QIcon(image), index};
    }

    /// Folders alive, so that tests can see every reference released.
    static int& liveFolders()
    {
        static int count = 0;
        return count;
    }

    /// Commands chosen from the context menus so far, by label.
    std::vector<std::string> invoked;

private:
    class Menu : public ShellContextMenu
    {
    public:
        Menu(FakeShellNamespace& shell, Entry& item)
            : m_shell(shell)
            , m_item(item)
        {
        }
        ShellResult queryContextMenu(std::vector<ShellMenuEntry>& menu, int first, int) override
        {
            menu.push_back({first, "Open"});
            menu.push_back({0, ""});
            menu.push_back({first + 1, "Copy Path"});
            return shellOk;
        }
        ShellResult invokeCommand(int offset) override
        {
            m_shell.invoked.push_back(m_item.label + ":" + std::to_string(offset));
            return m_item.invokeResult;
        }
        std::string failureReason() const override { return m_item.failureReason; }

    private:
        FakeShellNamespace& m_shell;
        Entry& m_item;
    };

    class Folder : public ShellFolder
    {
    public:
        Folder(FakeShellNamespace& shell, int id)
            : m_shell(shell)
            , m_id(id)
        {
            ++liveFolders();
        }
        ~Folder() override { --liveFolders(); }

        std::optional<std::vector<IdList>> enumFolders() override
        {
            Entry& self = m_shell.entry(m_id);
            ++self.enumCalls;
            if (self.enumFails)
                return std::nullopt;
            std::vector<IdList> ids;
            for (int child : self.children) {
                if (!m_shell.entry(child).hidden)
                    ids.push_back(itemId(child));
            }
            return ids;
        }
        unsigned attributesOf(const std::uint8_t* relativeId, unsigned) override
        {
            const Entry* item = child(relativeId);
            if (!item)
                return 0;
            unsigned attributes = AttrFolder;
            attributes |= item->fileSystem ? AttrFileSystem : AttrFileSystemAncestor;
            for (int grandChild : item->children) {
                if (!m_shell.entry(grandChild).hidden)
                    attributes |= AttrHasSubfolder;
            }
            return attributes;
        }
        std::optional<std::string> displayNameOf(
            const std::uint8_t* relativeId, ShellNameKind kind) override
        {
            const Entry* item = child(relativeId);
            if (!item || (kind == ShellNameKind::Normal && item->labelFails))
                return std::nullopt;
            return kind == ShellNameKind::Normal ? item->label : item->parsingName;
        }
        std::shared_ptr<ShellFolder> bindToFolder(const std::uint8_t* relativeId) override
        {
            const Entry* item = child(relativeId);
            if (!item || item->bindFails)
                return nullptr;
            return std::make_shared<Folder>(m_shell, idOf(itemPayloads(relativeId).front()));
        }
        std::optional<int> compareIds(const std::uint8_t* a, const std::uint8_t* b) override
        {
            const Entry* x = child(a);
            const Entry* y = child(b);
            if (!x || !y)
                return std::nullopt;
            return x->label < y->label ? -1 : x->label > y->label ? 1 : 0;
        }
        ShellResult contextMenuOf(
            const std::uint8_t* relativeId, std::unique_ptr<ShellContextMenu>& menu) override
        {
            Entry* item = child(relativeId);
            if (!item)
                return shellInvalidArgument;
            if (item->menuResult == shellOk)
                menu = std::make_unique<Menu>(m_shell, *item);
            return item->menuResult;
        }

    private:
        Entry* child(const std::uint8_t* relativeId)
        {
            Entry* item = m_shell.lookUp(relativeId);
            if (!item)
                return nullptr;
            const auto& children = m_shell.entry(m_id).children;
            int id = idOf(itemPayloads(relativeId).front());
            return std::find(children.begin(), children.end(), id) != children.end() ? item
                                                                                     : nullptr;
        }

        FakeShellNamespace& m_shell;
        int m_id;
    };

    std::vector<Entry> m_entries;
};

} // namespace sorvanel::ui::testing
