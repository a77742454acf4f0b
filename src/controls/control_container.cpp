#include "controls/control_container.h"

#include "platform/action_map.h"
#include "platform/input_source.h"

#include <new>

namespace {
constexpr int kScanTab = 0x0F;
constexpr int kScanLeftShift = 0x2A;
constexpr int kScanRightShift = 0x36;
} // namespace

CControlContainer::~CControlContainer()
{
    while (PopControlLayer() == 0) {
    }
    RemoveAllControls();
}

CControlContainer::Node* CControlContainer::FindNode(const Layer& layer, const CControl* control) const
{
    for (Node* n = layer.head; n; n = n->next)
        if (n->control == control)
            return n;
    return nullptr;
}

void CControlContainer::Unlink(Layer& layer, Node* node)
{
    (node->prev ? node->prev->next : layer.head) = node->next;
    (node->next ? node->next->prev : layer.tail) = node->prev;
    delete node;
}

std::vector<CControl*> CControlContainer::GetControls() const
{
    std::vector<CControl*> out;
    for (Node* n = m_layer.head; n; n = n->next)
        out.push_back(n->control);
    return out;
}

void CControlContainer::ForgetNeighbour(const CControl* control)
{
    auto clear = [control](const Layer& layer) {
        for (Node* n = layer.head; n; n = n->next)
            for (CControl*& neighbour : n->control->m_neighbours)
                if (neighbour == control)
                    neighbour = nullptr;
    };
    clear(m_layer);
    for (const Layer& layer : m_saved)
        clear(layer);
}

void CControlContainer::ChangeFocus(Node* node, bool forward)
{
    if (node == m_focus)
        return;
    CControl* old = m_focus ? m_focus->control : nullptr;
    m_focus = node;
    ReleaseCapture();
    CControl* now = node ? node->control : nullptr;
    if (old)
        old->OnKillFocus(now);
    if (now)
        now->OnSetFocus(old, forward);
}

int CControlContainer::SetFocus(CControl* control)
{
    if (!m_layer.head)
        return 1;
    if (!control) {
        ChangeFocus(nullptr, true);
        return 0;
    }
    Node* node = FindNode(m_layer, control);
    if (!node)
        return 2;
    if (!IsCandidate(control))
        return 3;
    ChangeFocus(node, true);
    return 0;
}

int CControlContainer::FocusScan(bool forward)
{
    if (!m_layer.head)
        return 1;
    auto step = [forward](Node* n) { return forward ? n->next : n->prev; };
    Node* first = forward ? m_layer.head : m_layer.tail;
    for (Node* n = m_focus ? step(m_focus) : first; n; n = step(n))
        if (IsCandidate(n->control)) {
            ChangeFocus(n, forward);
            return 0;
        }
    if (!m_focus)
        return 2;
    for (Node* n = first; n && n != m_focus; n = step(n))
        if (IsCandidate(n->control)) {
            ChangeFocus(n, forward);
            return 0;
        }
    return -1;
}

int CControlContainer::FocusNext() { return FocusScan(true); }
int CControlContainer::FocusPrevious() { return FocusScan(false); }

void CControlContainer::RemoveAllControls()
{
    if (!m_layer.head)
        return;
    if (m_focus) {
        CControl* old = m_focus->control;
        m_focus = nullptr;
        old->OnKillFocus(nullptr);
    }
    ReleaseCapture();
    m_lastX = m_lastY = -1;
    while (m_layer.head) {
        m_layer.head->control->m_container = nullptr;
        Unlink(m_layer, m_layer.head);
    }
}

int CControlContainer::PushControlLayer()
{
    if (!m_layer.head)
        return 1;
    Reset();
    m_saved.push_back(m_layer);
    m_layer = Layer{};
    return 0;
}

int CControlContainer::PopControlLayer()
{
    if (m_saved.empty())
        return 1;
    RemoveAllControls();
    m_layer = m_saved.back();
    m_saved.pop_back();
    m_focus = m_capture = nullptr;
    return 0;
}

int CControlContainer::AddControl(CControl* control, int position)
{
    if (!control)
        return 1;
    if (control->m_container)
        return 2;
    Node* node = new (std::nothrow) Node{control, nullptr, nullptr};
    if (!node)
        return 3;
    Node* before = nullptr;
    if (position >= 0) {
        before = m_layer.head;
        for (int i = 0; before && i < position; ++i)
            before = before->next;
    }
    if (before) {
        node->next = before;
        node->prev = before->prev;
        (before->prev ? before->prev->next : m_layer.head) = node;
        before->prev = node;
    } else {
        node->prev = m_layer.tail;
        (m_layer.tail ? m_layer.tail->next : m_layer.head) = node;
        m_layer.tail = node;
    }
    control->m_container = this;
    return 0;
}

void CControlContainer::RemoveControl(CControl* control)
{
    if (!control)
        return;
    if (IsCapture(control))
        ReleaseCapture();
    if (Node* node = FindNode(m_layer, control)) {
        if (node == m_focus) {
            m_focus = nullptr;
            control->OnKillFocus(control);
        }
        Unlink(m_layer, node);
        control->m_container = nullptr;
        return;
    }
    for (Layer& layer : m_saved)
        if (Node* node = FindNode(layer, control)) {
            Unlink(layer, node);
            control->m_container = nullptr;
            return;
        }
}

void CControlContainer::ParkPointer() { SetCursorPos(GetWidth() + 1, GetHeight()); }

void CControlContainer::Reset()
{
    ChangeFocus(nullptr, true);
    ReleaseCapture();
    m_hoverStart = 0;
    m_lastX = m_lastY = -1;
}

void CControlContainer::SetActive(bool active)
{
    if (!active)
        Reset();
    m_active = active ? 1 : 0;
}

bool CControlContainer::ReleaseCapture()
{
    if (!m_capture)
        return false;
    CControl* old = m_capture->control;
    m_capture = nullptr;
    old->OnMouseLeave();
    HideHint();
    return true;
}

void CControlContainer::SetHintOptions(bool enabled, uint32_t delay, uint32_t duration)
{
    m_hintEnabled = enabled ? 1 : 0;
    m_hintDelay = delay;
    m_hintDuration = duration;
    if (!enabled)
        HideHint();
}

void CControlContainer::HideHint()
{
    if (!m_hintShown)
        return;
    OnHideHint();
    m_hintShown = 0;
    m_hoverStart = 0;
}

int CControlContainer::GetNavigationDirection(CActionMap* actions)
{
    CInputSource* keyboard = GetKeyboard();
    if (!keyboard || !actions)
        return 0;
    const bool tab = keyboard->IsPushed(kScanTab);
    if (actions->IsPushed(kActionUp) || actions->IsPushed(kActionLeft) ||
        (tab && (keyboard->IsDown(kScanRightShift) || keyboard->IsDown(kScanLeftShift))))
        return 1;
    if (actions->IsPushed(kActionDown) || actions->IsPushed(kActionRight) || tab)
        return 2;
    return 0;
}

bool CControlContainer::Navigate(CControl* focus, int direction)
{
    if (direction != 1 && direction != 2)
        return false;
    const bool forward = direction == 2;
    const int result = forward ? FocusNext() : FocusPrevious();
    if (result == 0)
        return true;
    if (result < 0 && focus) {
        focus->OnSetFocus(focus, forward);
        return true;
    }
    return false;
}

int CControlContainer::HandleInput(uint32_t time)
{
    auto finish = [this](int result) { return m_lastResult = result; };
    if (!m_active)
        return finish(-1);
    int x = 0;
    int y = 0;
    GetCursorPos(&x, &y);
    bool moved = x != m_lastX || y != m_lastY;
    if (!PreInput(time, &moved, x, y))
        return finish(-1);
    Node* target = nullptr;
    int localX = x;
    int localY = y;
    if (moved) {
        if (m_hoverStart != 0)
            m_hoverStart = time;
        if (!m_pointerLock) {
            Node* hit = nullptr;
            for (Node* n = m_layer.head; n; n = n->next)
                if (n->control->IsEnabled() && n->control->IsVisible() && n->control->HitTest(x, y)) {
                    hit = n;
                    break;
                }
            m_lastX = x;
            m_lastY = y;
            if (hit != m_capture) {
                if (m_capture)
                    m_capture->control->OnMouseLeave();
                if (m_focus && m_focus != hit)
                    m_focus->control->OnMouseLeave();
                m_capture = hit;
                if (m_capture)
                    m_capture->control->OnMouseEnter();
                HideHint();
                m_hoverStart = time;
            }
            target = hit;
        } else {
            m_lastX = x;
            m_lastY = y;
            target = m_capture;
        }
        if (target) {
            localX = x - target->control->GetX();
            localY = y - target->control->GetY();
            target->control->OnMouseMove(localX, localY);
        }
    } else if (m_capture) {
        target = m_capture;
        CControl* control = target->control;
        const char* hint = control->GetHintText();
        if (hint && !m_hintShown && m_hintEnabled && m_hoverStart != 0) {
            const uint32_t elapsed = time - m_hoverStart;
            if (elapsed >= m_hintDelay && (m_hintDuration == 0 || elapsed <= m_hintDelay + m_hintDuration)) {
                ShowHint(hint, x, y);
                m_hintShown = 1;
            }
        } else if (m_hintShown && m_hintDuration != 0 && time - m_hoverStart > m_hintDelay + m_hintDuration) {
            HideHint();
        }
        localX = x - control->GetX();
        localY = y - control->GetY();
    }
    // The control may have unlinked itself or changed the capture in OnMouseMove.
    if (target && target == m_capture && target->control->OnMouseInput(localX, localY, GetMouse())) {
        HideHint();
        return finish(1);
    }
    CControl* focus = m_focus ? m_focus->control : nullptr;
    if (DeliverTextInput(focus))
        return finish(3);
    CActionMap* actions = GetActionMap();
    if (focus) {
        if (focus->OnKeyInput(actions))
            return finish(2);
        focus = m_focus ? m_focus->control : nullptr;
        if (actions && focus)
            for (int i = 0; i < 4; ++i) {
                CControl* neighbour = focus->GetNeighbour(i);
                if (neighbour && actions->IsPushed(static_cast<uint32_t>(i)) && SetFocus(neighbour) == 0)
                    return finish(4);
            }
    }
    if (Navigate(focus, GetNavigationDirection(actions)))
        return finish(4);
    return finish(0);
}
