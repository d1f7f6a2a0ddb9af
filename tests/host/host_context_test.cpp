// The host context: component states created on first use and destroyed with their host, hosts
// made current by scope, and what the loaded libraries registered carried into a new host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/services/Host.h"

namespace {

std::vector<std::string>* g_events = nullptr;  // where the states below record their lives

struct Counter {
  int value = 0;
};

struct Named {
  explicit Named(std::string n = "default") : name(std::move(n)) {}
  ~Named() {
    if (g_events)
      g_events->push_back("~" + name + "@" +
                          std::to_string(host::CurrentHost().Get<Counter>().value));
  }
  std::string name;
};

struct First : Named {
  First() : Named("first") {}
};

struct Second : Named {
  Second() : Named("second") {}
};

// Asks for a state that was destroyed before it: the host makes it again and destroys it after.
struct Late {
  ~Late() { host::CurrentHost().Get<First>(); }
};

struct Installed {
  static constexpr bool kInherited = true;
  std::vector<std::string> names;
};

struct Registrations {
  static constexpr bool kLoadedCode = true;
  std::vector<std::string> names;
};

TEST(Host, AStateIsMadeOnceAndEachHostHasItsOwn) {
  host::Host a, b;
  a.Get<Counter>().value = 3;
  EXPECT_EQ(&a.Get<Counter>(), &a.Get<Counter>());
  EXPECT_EQ(a.Get<Counter>().value, 3);
  EXPECT_EQ(b.Get<Counter>().value, 0);
  EXPECT_NE(&a.Get<Counter>(), &b.Get<Counter>());
}

TEST(Host, AScopeIsCurrentUntilItEndsAndItsStatesGoWithItLastMadeFirst) {
  std::vector<std::string> events;
  g_events = &events;
  host::Host& outer = host::CurrentHost();
  outer.Get<Counter>().value = 1;
  {
    host::ScopedHost scope;
    EXPECT_EQ(&host::CurrentHost(), &scope.host());
    host::CurrentHost().Get<Counter>().value = 2;
    host::CurrentHost().Get<First>();
    host::CurrentHost().Get<Second>();
    {
      host::ScopedHost inner;
      EXPECT_EQ(host::CurrentHost().Get<Counter>().value, 0);
    }
    EXPECT_EQ(&host::CurrentHost(), &scope.host());
  }
  g_events = nullptr;
  EXPECT_EQ(&host::CurrentHost(), &outer);
  EXPECT_EQ(outer.Get<Counter>().value, 1);
  // Destroyed while their host was current, the counter (made first) last.
  EXPECT_EQ(events, (std::vector<std::string>{"~second@2", "~first@2"}));
}

TEST(Host, AStateAskedForDuringTheEndIsMadeAndEndedInTurn) {
  std::vector<std::string> events;
  g_events = &events;
  {
    host::ScopedHost scope;
    host::CurrentHost().Get<Late>();
    host::CurrentHost().Get<First>();
    scope.host().DestroyAll();
    // First ends, Late's destructor makes it again, and that one ends too.
    EXPECT_EQ(events, (std::vector<std::string>{"~first@0", "~first@0"}));
  }
  g_events = nullptr;
}

TEST(Host, ANewHostStartsWithACopyOfWhatTheApplicationInstalled) {
  host::CurrentHost().Get<Installed>().names = {"installed"};
  host::CurrentHost().Get<Counter>().value = 5;
  {
    host::ScopedHost scope;
    EXPECT_EQ(host::CurrentHost().Get<Installed>().names, std::vector<std::string>{"installed"});
    EXPECT_EQ(host::CurrentHost().Get<Counter>().value, 0);
    host::CurrentHost().Get<Installed>().names.push_back("only here");
    host::Host unrelated;
    EXPECT_TRUE(unrelated.Get<Installed>().names.empty());  // no parent, nothing to copy
  }
  EXPECT_EQ(host::CurrentHost().Get<Installed>().names, std::vector<std::string>{"installed"});
}

// A library loaded while one host is current is loaded for the process: every host sees what it
// registered, also after that host ended.
TEST(Host, WhatLoadedCodeRegistersIsOneForTheProcess) {
  host::Host& outer = host::CurrentHost();
  {
    host::ScopedHost first;
    host::CurrentHost().Get<Registrations>().names.push_back("loaded in first");
  }
  host::ScopedHost second;
  EXPECT_EQ(&host::CurrentHost().Get<Registrations>(), &outer.Get<Registrations>());
  EXPECT_EQ(host::CurrentHost().Get<Registrations>().names.back(), "loaded in first");
  host::Host unrelated;  // a root of its own
  EXPECT_TRUE(unrelated.Get<Registrations>().names.empty());
}

TEST(Host, AFakeIsPutBeforeFirstUseOnly) {
  host::Host h;
  EXPECT_TRUE(h.Put(std::make_unique<Named>("fake")));
  EXPECT_EQ(h.Get<Named>().name, "fake");
  EXPECT_FALSE(h.Put(std::make_unique<Named>("late")));
  EXPECT_EQ(h.Get<Named>().name, "fake");
}

}  // namespace
