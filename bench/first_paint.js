// Opens a page in headless Chromium over its DevTools pipe and prints the
// milliseconds from navigation to the first contentful paint.
// Usage: node bench/first_paint.js CHROMIUM PROFILE_DIR URL
const { spawn } = require('child_process');
const [chromium, profile, url] = process.argv.slice(2);
const browser = spawn(chromium, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run', `--user-data-dir=${profile}`,
  '--remote-debugging-pipe', 'about:blank'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
const [commands, replies] = [browser.stdio[3], browser.stdio[4]];
let nextId = 1, buffered = '', loaded;
const pageLoaded = new Promise(resolve => (loaded = resolve));
const pending = new Map();
function send(method, params = {}, sessionId) {
  const id = nextId++;
  commands.write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}
replies.on('data', chunk => {
  buffered += chunk;
  for (let end; (end = buffered.indexOf('\0')) >= 0; buffered = buffered.slice(end + 1)) {
    const message = JSON.parse(buffered.slice(0, end));
    if (message.method === 'Page.loadEventFired') loaded();
    const waiter = pending.get(message.id);
    if (!waiter) continue;
    pending.delete(message.id);
    message.error ? waiter.reject(new Error(message.error.message)) : waiter.resolve(message.result);
  }
});
const paintScript = `new Promise(done => new PerformanceObserver((list, observer) => {
  const paint = list.getEntries().find(entry => entry.name === 'first-contentful-paint');
  if (paint) { observer.disconnect(); done(paint.startTime); }
}).observe({ type: 'paint', buffered: true }))`;
(async () => {
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  await send('Page.enable', {}, sessionId);
  await send('Page.navigate', { url }, sessionId);
  await pageLoaded;
  const { result } = await send('Runtime.evaluate', { expression: paintScript, awaitPromise: true }, sessionId);
  console.log(Math.round(result.value));
  await send('Browser.close').catch(() => {});
})().catch(error => { console.error(error.message); browser.kill(); process.exit(1); });
