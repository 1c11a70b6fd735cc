#include "pickresponder.h"

namespace {

PickResponder *g_installed = nullptr;

} // namespace

PickResponder::PickResponder()
    : m_previous(g_installed)
{
    g_installed = this;
}

PickResponder::~PickResponder()
{
    g_installed = m_previous;
}

PickResponder *PickResponder::installed()
{
    return g_installed;
}
