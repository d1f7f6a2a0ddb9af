#pragma once
// The host framework's list with POSITION cursors. Positions stay valid while other elements are
// added or removed (a node-based list, like the host's).
#include <cstddef>
#include <list>

struct PositionNode {};
using POSITION = PositionNode*;

template <class TYPE, class ARG_TYPE = const TYPE&>
class CList {
  struct Node : PositionNode {
    explicit Node(ARG_TYPE v) : value(v) {}
    TYPE value;
    typename std::list<Node>::iterator self;
  };

 public:
  CList() = default;
  CList(const CList&) = delete;
  CList& operator=(const CList&) = delete;

  std::size_t GetCount() const noexcept { return m_nodes.size(); }
  std::size_t GetSize() const noexcept { return m_nodes.size(); }
  bool IsEmpty() const noexcept { return m_nodes.empty(); }

  POSITION AddTail(ARG_TYPE value) {
    auto it = m_nodes.emplace(m_nodes.end(), value);
    it->self = it;
    return &*it;
  }
  POSITION AddHead(ARG_TYPE value) {
    auto it = m_nodes.emplace(m_nodes.begin(), value);
    it->self = it;
    return &*it;
  }
  void RemoveAll() noexcept { m_nodes.clear(); }
  void RemoveAt(POSITION pos) { m_nodes.erase(node(pos)->self); }

  POSITION GetHeadPosition() const noexcept {
    return m_nodes.empty() ? nullptr : const_cast<Node*>(&m_nodes.front());
  }
  POSITION GetTailPosition() const noexcept {
    return m_nodes.empty() ? nullptr : const_cast<Node*>(&m_nodes.back());
  }
  // Returns the element at pos and moves pos to the next one (null after the tail).
  TYPE& GetNext(POSITION& pos) {
    Node* n = node(pos);
    auto next = std::next(n->self);
    pos = next == m_nodes.end() ? nullptr : &*next;
    return n->value;
  }
  const TYPE& GetNext(POSITION& pos) const { return const_cast<CList*>(this)->GetNext(pos); }
  TYPE& GetAt(POSITION pos) { return node(pos)->value; }
  const TYPE& GetAt(POSITION pos) const { return node(pos)->value; }
  TYPE& GetHead() { return m_nodes.front().value; }
  TYPE& GetTail() { return m_nodes.back().value; }

  // Range-for over the values.
  template <class It, class V>
  struct Iter {
    It it;
    V& operator*() const { return it->value; }
    Iter& operator++() {
      ++it;
      return *this;
    }
    bool operator!=(const Iter& o) const { return it != o.it; }
  };
  auto begin() { return Iter<typename std::list<Node>::iterator, TYPE>{m_nodes.begin()}; }
  auto end() { return Iter<typename std::list<Node>::iterator, TYPE>{m_nodes.end()}; }
  auto begin() const {
    return Iter<typename std::list<Node>::const_iterator, const TYPE>{m_nodes.begin()};
  }
  auto end() const {
    return Iter<typename std::list<Node>::const_iterator, const TYPE>{m_nodes.end()};
  }

 private:
  static Node* node(POSITION pos) noexcept { return static_cast<Node*>(pos); }
  std::list<Node> m_nodes;
};
