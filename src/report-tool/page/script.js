// Draws each table a page at a time from the data block, cells as text only.
'use strict';
const data = JSON.parse(document.getElementById('report-data').textContent);
const pageSize = 100;
function cell(kind, value) {
  const td = document.createElement('td');
  if (kind === '~' && /^-?\d+$/.test(value)) {
    td.textContent = new Date(Number(value) * 1000).toISOString().replace('T', ' ').slice(0, 19);
    td.title = value;
  } else if (kind === '*' && value !== '') {
    const details = document.createElement('details');
    const summary = document.createElement('summary');
    summary.textContent = 'anzeigen';
    const pre = document.createElement('pre');
    pre.textContent = value;
    details.append(summary, pre);
    td.append(details);
  } else {
    td.textContent = value;
  }
  return td;
}
for (const table of data.tables) {
  const section = document.getElementById('table-' + table.id);
  const body = section.querySelector('tbody');
  const info = section.querySelector('.info');
  const kinds = table.columns.map(c => /^[~*]/.test(c) ? c[0] : '');
  let shown = table.rows, page = 0;
  function draw() {
    const pages = Math.max(1, Math.ceil(shown.length / pageSize));
    page = Math.min(Math.max(page, 0), pages - 1);
    const rows = [];
    for (const values of shown.slice(page * pageSize, (page + 1) * pageSize)) {
      const tr = document.createElement('tr');
      if (values[0]) tr.className = 'failure';
      values.slice(1).forEach((v, i) => tr.append(cell(kinds[i], v)));
      rows.push(tr);
    }
    body.replaceChildren(...rows);
    info.textContent = 'Seite ' + (page + 1) + ' von ' + pages + ' (' + shown.length + ' Zeilen)';
  }
  section.querySelector('.previous').onclick = () => { page--; draw(); };
  section.querySelector('.next').onclick = () => { page++; draw(); };
  section.querySelector('.filter').oninput = event => {
    const wanted = event.target.value.toLowerCase();
    shown = wanted ? table.rows.filter(r => r.slice(1).some(v => v.toLowerCase().includes(wanted))) : table.rows;
    page = 0;
    draw();
  };
  draw();
}
document.body.dataset.ready = 'true';
