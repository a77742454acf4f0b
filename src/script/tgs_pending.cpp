// The transition and effect calls the layer side makes; temporary until the transitions land.
#include "script/tgs_frame.h"

void CTgsFrame::StopTransition() {}

int CTgsFrame::FinishTransition()
{
    return 0;
}

int CTgsFrame::TransCross(int32_t /*time*/)
{
    return 1;
}

int CTgsFrame::TransRule(int32_t /*number*/, int32_t /*time*/, int32_t /*softness*/)
{
    return 1;
}

void CTgsFrame::ResetBackgroundEffects(uint8_t /*page*/, bool /*redrawAnime*/) {}

int CTgsFrame::ReleaseSpriteEffect(int /*slot*/, uint8_t /*page*/, int /*group*/)
{
    return 0;
}
