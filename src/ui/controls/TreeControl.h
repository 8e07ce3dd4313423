#pragma once

#include <string>
#include <vector>

#include "ui/controls/Control.h"

namespace stowaway {

// A tree whose nodes get their children only when first opened: opening a node
// raises onExpand with expanding() naming it, and the handler sets them.
class TreeControl : public Control {
  public:
    struct Node {
        std::string label;
        std::string key;  // what the handlers know the node by
        bool loaded = false;
        bool expanded = false;
        std::vector<Node> children;
        bool operator==(const Node&) const = default;
    };

    explicit TreeControl(std::string name, Place place = {}) : Control(std::move(name), place) {}

    const std::vector<Node>& roots() const { return roots_; }
    void setRoots(std::vector<Node> roots) {
        set(roots_, std::move(roots));
        set(selected_, std::string());
    }
    const Node* find(const std::string& key) const { return Find(roots_, key); }

    // The user opens (or closes) a node.
    void expand(const std::string& key, bool open = true) {
        Node* node = Find(roots_, key);
        if (!node) return;
        node->expanded = open;
        touch();
        if (!open || node->loaded) return;
        expanding_ = key;
        Fire(onExpand);
    }
    const std::string& expanding() const { return expanding_; }
    void setChildren(const std::string& key, std::vector<Node> children) {
        Node* node = Find(roots_, key);
        if (!node) return;
        node->children = std::move(children);
        node->loaded = true;
        touch();
    }

    const std::string& selected() const { return selected_; }
    // Choosing a node, by the user or from code, raises onSelect.
    void select(const std::string& key) {
        set(selected_, Find(roots_, key) ? key : std::string());
        Fire(onSelect);
    }

    Handler onExpand;
    Handler onSelect;

  private:
    template <typename Nodes>
    static auto Find(Nodes& nodes, const std::string& key) -> decltype(&nodes[0]) {
        for (auto& node : nodes) {
            if (node.key == key) return &node;
            if (auto* below = Find(node.children, key)) return below;
        }
        return nullptr;
    }

    std::vector<Node> roots_;
    std::string selected_;
    std::string expanding_;
};

}  // namespace stowaway
