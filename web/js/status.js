// Readable messages and the busy indicator. Every request the page makes goes through ask(),
// so an engine error always reaches the person as text in the alert region.
import { EngineError, errorText } from './bridge.js';

export class Status {
  constructor({ messages, errors, busy, main }) {
    this.messagesEl = messages;
    this.errorsEl = errors;
    this.busyEl = busy;
    this.mainEl = main;
  }

  setBusy(busy) {
    this.busyEl.hidden = !busy;
    this.mainEl.setAttribute('aria-busy', busy ? 'true' : 'false');
    // When the page last fell quiet: lets automated checks wait for a whole flow to finish.
    this.mainEl.dataset.idleSince = busy ? '' : String(Date.now());
  }

  info(text) { this.messagesEl.textContent = text; }

  error(text) {
    // The failure is the latest news: an earlier success message beside it would read as the
    // outcome of the same action.
    this.messagesEl.textContent = '';
    // Re-announce an identical message as well: clear first, then set on the next frame.
    this.errorsEl.textContent = '';
    requestAnimationFrame(() => { this.errorsEl.textContent = text; });
    this.errorsEl.dataset.last = text;
  }

  clearError() { this.errorsEl.textContent = ''; delete this.errorsEl.dataset.last; }
}

// Sends one request; resolves with the payload of an ok reply, or shows the error and resolves
// with null. `quiet` keeps a failure out of the alert region (for background look-ups).
export async function ask(bridge, status, type, payload = {}, { quiet = false } = {}) {
  try {
    const envelope = await bridge.request(type, payload);
    if (envelope === null) return {};
    if (envelope.ok) return envelope.payload || {};
    if (!quiet) status.error(errorText(envelope));
    return null;
  } catch (problem) {
    if (!quiet) status.error(problem instanceof EngineError ? problem.message : `Unexpected problem: ${problem.message}`);
    return null;
  }
}

// Like ask() but hands back the whole envelope (some replies report partial success).
export async function askEnvelope(bridge, status, type, payload = {}) {
  try {
    return await bridge.request(type, payload);
  } catch (problem) {
    status.error(problem instanceof EngineError ? problem.message : `Unexpected problem: ${problem.message}`);
    return null;
  }
}
