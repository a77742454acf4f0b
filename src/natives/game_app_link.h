// CGameAppLink: the operations of the game application that the system-script host and its
// natives call. The application lives in the layer above; it derives from this and publishes
// itself as g_pGameApp. Each group of natives adds the operations it needs.
#pragma once

class CControlContainer;

class CGameAppLink {
public:
    virtual ~CGameAppLink() = default;

    // The main-screen form (the container of script-made controls); null before it exists.
    virtual CControlContainer* GetMainForm() = 0;
    // The caption's set-up at host construction and tear-down at host destruction.
    virtual void SetUpCaption() = 0;
    virtual void TearDownCaption() = 0;
};

// The application, or null (tools and tests without one).
extern CGameAppLink* g_pGameApp;
