// The owning wrappers: a handle is freed once, by whoever holds it last, and a selection
// leaves the device context as it found it.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "sys/Handles.h"

namespace {

TEST(Handles, OnlyTheLastHolderFrees) {
  HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_NE(nullptr, raw);
  {
    sys::ScopedBrush last;
    {
      sys::ScopedBrush first(raw);
      sys::ScopedBrush second(std::move(first));
      last = std::move(second);
      EXPECT_FALSE(first);
      EXPECT_FALSE(second);
    }
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(raw)) << "freed by a moved-from one";
    EXPECT_EQ(raw, last.get());
  }
  EXPECT_EQ(0u, GetObjectType(raw)) << "not freed by its last holder";

  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  {
    sys::ScopedPen released(pen);
    EXPECT_EQ(pen, released.release());
  }
  EXPECT_EQ(static_cast<DWORD>(OBJ_PEN), GetObjectType(pen)) << "a released handle was freed";
  DeleteObject(pen);
}

TEST(Handles, SelectScopePutsThePreviousObjectBack) {
  sys::MemoryDc dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  struct Case {
    UINT type;
    std::function<HGDIOBJ()> make;
  } cases[] = {
      {OBJ_FONT, [] { return CreateFontW(-12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma"); }},
      {OBJ_BRUSH, [] { return CreateSolidBrush(RGB(9, 9, 9)); }},
      {OBJ_PEN, [] { return CreatePen(PS_DOT, 1, RGB(9, 9, 9)); }},
      {OBJ_BITMAP, [] { return CreateBitmap(4, 4, 1, 1, nullptr); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    sys::GdiObject<HGDIOBJ> outer(c.make()), inner(c.make());
    HGDIOBJ original = GetCurrentObject(dc.get(), c.type);
    {
      sys::SelectScope a(dc.get(), outer.get());
      EXPECT_EQ(outer.get(), GetCurrentObject(dc.get(), c.type));
      {
        sys::SelectScope b(dc.get(), inner.get());
        EXPECT_EQ(inner.get(), GetCurrentObject(dc.get(), c.type));
        sys::SelectScope none(dc.get(), nullptr);
        EXPECT_EQ(inner.get(), GetCurrentObject(dc.get(), c.type));
      }
      EXPECT_EQ(outer.get(), GetCurrentObject(dc.get(), c.type));
    }
    EXPECT_EQ(original, GetCurrentObject(dc.get(), c.type));
  }
}

}  // namespace
