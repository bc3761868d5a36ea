// Sorting and the people search of the Barvik statistics site. The pages are complete
// without it; it only adds behaviour.
(function () {
  'use strict';
  var missing = { '': true, 'n/a': true, 'err': true };

  function text(cell) { return cell ? cell.textContent.trim() : ''; }
  // A cell's value for sorting: a time played ("3 h 05", "45 min") in minutes, else its text.
  function value(cell) {
    var t = text(cell);
    var m = /^(?:(\d+) h (\d+)|(\d+) min)$/.exec(t);
    if (!m) return t;
    return String(m[3] !== undefined ? Number(m[3]) : Number(m[1]) * 60 + Number(m[2]));
  }
  function number(t) { return t.replace(',', '.'); }
  function isNumber(t) { return /^-?\d+([.,]\d+)?$/.test(t); }
  function fold(t) { return t.normalize('NFD').replace(/[\u0300-\u036f]/g, '').toLowerCase(); }

  // A column is numeric only when every cell other than "n/a", "err" or empty is a number.
  function numericColumn(rows, index) {
    return rows.every(function (r) {
      var t = value(r.cells[index]);
      return missing[t] || isNumber(t);
    });
  }

  function sortTable(table, index, head) {
    var body = table.tBodies[table.tBodies.length - 1];
    var rows = Array.prototype.slice.call(body.rows);
    var numeric = numericColumn(rows, index);
    var current = head.getAttribute('aria-sort');
    var down = current ? current === 'ascending' : numeric;
    var collator = new Intl.Collator(undefined, { sensitivity: 'base', numeric: false });
    rows.sort(function (a, b) {
      var x = value(a.cells[index]), y = value(b.cells[index]);
      var mx = missing[x] === true, my = missing[y] === true;
      if (mx || my) return mx === my ? 0 : (mx ? 1 : -1);  // "n/a" last either way
      var order = numeric ? parseFloat(number(x)) - parseFloat(number(y)) : collator.compare(x, y);
      return down ? -order : order;
    });
    rows.forEach(function (r) { body.appendChild(r); });
    Array.prototype.forEach.call(table.tHead.rows[0].cells, function (c) {
      c.removeAttribute('aria-sort');
    });
    head.setAttribute('aria-sort', down ? 'descending' : 'ascending');
  }

  Array.prototype.forEach.call(document.querySelectorAll('table.data'), function (table) {
    if (!table.tHead) return;
    Array.prototype.forEach.call(table.tHead.rows[0].cells, function (head, index) {
      var button = document.createElement('button');
      button.type = 'button';
      while (head.firstChild) button.appendChild(head.firstChild);
      head.appendChild(button);
      button.addEventListener('click', function () { sortTable(table, index, head); });
    });
  });

  // The people search looks at every name a person used: the shown one and the others in the
  // row's data-n ("|" between them).
  var filter = document.getElementById('filter');
  var table = document.getElementById('people');
  if (filter && table) {
    var body = table.tBodies[table.tBodies.length - 1];
    var shown = document.getElementById('shown');
    var names = Array.prototype.map.call(body.rows, function (r) {
      return fold(text(r.cells[0]) + '|' + (r.dataset.n || ''));
    });
    var apply = function () {
      var wanted = fold(filter.value.trim());
      var count = 0;
      Array.prototype.forEach.call(body.rows, function (r, i) {
        var hit = wanted === '' || names[i].indexOf(wanted) >= 0;
        r.hidden = !hit;
        if (hit) ++count;
      });
      if (shown) shown.textContent = count + ' of ' + names.length + ' people';
    };
    filter.addEventListener('input', apply);
    filter.closest('.tools').hidden = false;
    apply();
  }
})();
