// Single-key shortcuts, active while the focus is not in a text field (listed on the page).

function typingInto(target) {
  if (!target || !target.tagName) return false;
  if (target.isContentEditable || target.tagName === 'TEXTAREA' || target.tagName === 'SELECT') return true;
  if (target.tagName !== 'INPUT') return false;
  return !['checkbox', 'radio', 'button', 'submit', 'range'].includes(target.type);
}

export function installShortcuts(actions) {
  const byKey = {
    '/': actions.focusField,
    v: actions.voice,
    p: actions.togglePlay,
    g: actions.generate,
    k: actions.detectKey,
    d: actions.downloadMidi,
    a: actions.toggleAnchor,
    n: actions.focusSuggestions,
    e: actions.focusEditor,
    '[': actions.transposeDown,
    ']': actions.transposeUp,
  };
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      actions.stop();
      if (typingInto(event.target)) actions.leaveField();
      return;
    }
    if (event.ctrlKey || event.metaKey || event.altKey || event.defaultPrevented) return;
    // Enter works on check boxes and radio buttons as Space does.
    const t = event.target;
    if (event.key === 'Enter' && t && t.tagName === 'INPUT' && (t.type === 'checkbox' || t.type === 'radio')) {
      event.preventDefault();
      if (t.type === 'checkbox' || !t.checked) t.click();
      return;
    }
    if (typingInto(event.target)) return;
    const action = byKey[event.key];
    if (!action) return;
    event.preventDefault();
    action();
  });
}
