#include "live/live_view_controller.h"

#include "session/recorder_session.h"
#include "video/video_window.h"

#include <algorithm>
#include <bit>
#include <string>
#include <utility>

namespace kalder {

LiveViewController::LiveViewController(const DecoderLibrary* library, QObject* receiver)
    : m_host(library, receiver) {}

LiveViewController::~LiveViewController() = default;

void LiveViewController::setSession(RecorderSession* session) {
    m_session = session;
    m_host.setSession(session);
    if (session != nullptr)
        session->live().setFrameConsumerFactory(&m_host);
    channelTitlesChanged();
    audioChanged();
}

void LiveViewController::setRecorder(int index) {
    m_recorder = std::clamp(index, 0, kMaxRecorders - 1);
    m_host.setSlotBase(slotOf(m_recorder, 0));
}

void LiveViewController::setVideoWindow(VideoWindow* window) {
    if (m_window != nullptr)
        QObject::disconnect(m_visibleConnection);
    m_window = window;
    m_host.setFeed(window ? &window->feed() : nullptr);
    if (window == nullptr)
        return;
    if (m_recorder == 0)
        m_visibleConnection = connect(window, &VideoWindow::visibleChannelsChanged, this,
                                      &LiveViewController::onVisibleChannelsChanged);
    else
        m_visibleConnection = connect(window, &VideoWindow::siteChannelsChanged, this, [this] {
            onVisibleChannelsChanged(m_window->visibleChannelMask(m_recorder));
        });
}

bool LiveViewController::sitePart() const {
    return m_window != nullptr && (m_recorder > 0 || m_window->siteRecorders() > 1);
}

std::uint16_t LiveViewController::hiddenChannelMask() const {
    if (m_session == nullptr)
        return 0;
    std::uint16_t mask = 0;
    for (unsigned c = 0; c < kChannelCount; ++c)
        if (m_session->status().channelHidden(c))
            mask = static_cast<std::uint16_t>(mask | (1u << c));
    return mask;
}

void LiveViewController::videoWindowReset(int channels) {
    emit layoutShown(0);
    if (m_window == nullptr)
        return;
    if (channels == 0) {
        m_window->feed().setHiddenChannels(hiddenChannelMask(), m_recorder);
        m_window->update();
        return;
    }
    const bool liveStarting =
        m_session && (m_session->live().liveRequestPending() || m_session->live().liveOn());
    if (sitePart()) {
        m_host.setTitlePrefix("R" + std::to_string(m_recorder + 1) + " ");
        m_narrowAfterStart = liveStarting;
        if (liveStarting) {
            m_window->startRecorderStream(m_recorder, channels);
            m_window->feed().setHiddenChannels(hiddenChannelMask(), m_recorder);
            emit layoutShown(m_window->layoutModel().layout());
        } else {
            m_window->stopRecorderStream(m_recorder);
        }
        return;
    }
    m_host.setTitlePrefix({});
    if (liveStarting) {
        m_window->startStream(StreamKind::Live, channels);
        m_window->feed().setHiddenChannels(hiddenChannelMask());
        emit layoutShown(m_window->layoutModel().layout());
    } else {
        m_window->stopStream();
        m_window->feed().setVideoLossMask(0);
        m_window->feed().setHiddenChannels(0);
    }
}

void LiveViewController::liveChannels(std::uint16_t mask, std::uint16_t videoLoss) {
    ++m_liveChannelInfoCount;
    if (m_window == nullptr)
        return;
    m_window->feed().setVideoLossMask(videoLoss, m_recorder);
    m_window->feed().setHiddenChannels(hiddenChannelMask(), m_recorder);
    if (m_window->setPresentChannels(mask, false, m_recorder))
        m_window->update();
    if (std::exchange(m_narrowAfterStart, false))
        onVisibleChannelsChanged(m_window->visibleChannelMask(m_recorder));
}

void LiveViewController::hiddenChannelsChanged() {
    if (m_window == nullptr)
        return;
    m_window->feed().setHiddenChannels(hiddenChannelMask(), m_recorder);
    m_window->update();
}

void LiveViewController::channelTitlesChanged() {
    m_host.setChannelTitles(m_session ? m_session->status().channelTitles()
                                      : std::array<std::string, kChannelCount>{});
}

void LiveViewController::audioChanged() {
    if (m_session == nullptr)
        m_host.setAudioFacts(false, -1);
    else
        m_host.setAudioFacts(m_session->audioOn(), m_session->live().audioChannel());
}

// The layout, page or selection changed: in live view, ask for the channels now shown.
void LiveViewController::onVisibleChannelsChanged(quint16 mask) {
    if (m_session == nullptr || !m_session->live().liveOn() || m_window == nullptr)
        return;
    // A site's single view shows one recorder's channel; the others are asked for nothing.
    const bool single = m_window->layoutModel().layout() == 1 && mask != 0;
    m_session->live().setSingleViewChannel(single ? std::countr_zero(static_cast<unsigned>(mask))
                                                  : -1);
    m_session->live().requestChannels(mask);
}

} // namespace kalder
