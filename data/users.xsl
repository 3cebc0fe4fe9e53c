<?xml version="1.0" encoding="UTF-8"?>
<!--
  The report of one user: every job of the period with its printer, and
  the totals of jobs, pages and cost. Costs are cents in the log and are
  shown as money with two decimals. One pass over the events; the HTML
  keeps to what a browser and a Qt rich-text view both show well.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"
              doctype-public="-//W3C//DTD HTML 4.01 Transitional//EN"
              doctype-system="http://www.w3.org/TR/html4/loose.dtd"/>

  <!-- 'table': the console's viewer shows the subtotals and the jobs itself,
       in tables that stay quick at any size; the page then holds the
       heading and the totals, and a mark that tells the viewer so. -->
  <xsl:param name="viewer" select="''"/>
  <!-- The totals; a viewer that shows the jobs itself hands them over. -->
  <xsl:param name="jobs" select="count(/log/event)"/>
  <xsl:param name="pages" select="sum(/log/event/pages)"/>
  <xsl:param name="cost" select="sum(/log/event/cost)"/>
  <xsl:param name="subject" select="string(/log/event[1]/user)"/>

  <!-- Jobs from the central store carry their server; only they show it. -->
  <xsl:variable name="servers" select="boolean(/log/event/server)"/>

  <xsl:template match="/">
    <html>
      <head>
        <title>Printing report: user <xsl:value-of select="$subject"/>, <xsl:value-of select="log/period"/></title>
        <style type="text/css">
          body { font-family: sans-serif; font-size: 10pt; color: #1a1a1a; background-color: #ffffff; }
          h1 { font-size: 14pt; color: #1f4e79; }
          h2 { font-size: 11pt; color: #1f4e79; }
          th { background-color: #dce6f1; }
          tr.total td { background-color: #eeeeee; }
        </style>
      </head>
      <body>
        <h1>Printing report: user <span id="subject"><xsl:value-of select="$subject"/></span></h1>
        <table id="summary" border="0" cellspacing="0" cellpadding="3">
          <tr><td>Period:</td><td id="period"><b><xsl:value-of select="log/period"/></b></td></tr>
          <tr><td>Jobs:</td><td id="total-jobs"><xsl:value-of select="$jobs"/></td></tr>
          <tr><td>Pages:</td><td id="total-pages"><xsl:value-of select="$pages"/></td></tr>
          <tr>
            <td>Cost:</td>
            <td id="total-cost">
              <xsl:call-template name="money"><xsl:with-param name="cents" select="$cost"/></xsl:call-template>
            </td>
          </tr>
        </table>
        <xsl:choose>
          <xsl:when test="$viewer = 'table'"><a name="ostrel-viewer-table"></a></xsl:when>
          <xsl:otherwise>
        <xsl:choose>
          <xsl:when test="log/event">
            <h2>Jobs</h2>
            <table id="jobs" border="1" cellspacing="0" cellpadding="4" width="100%">
              <tr bgcolor="#dce6f1">
                <th align="left">Date</th>
                <th align="left">Time</th>
                <th align="left">Document</th>
                <th align="left">Printer</th>
                <xsl:if test="$servers"><th align="left">Server</th></xsl:if>
                <th align="right">Pages</th>
                <th align="right">Cost</th>
              </tr>
              <xsl:for-each select="log/event">
                <tr class="job">
                  <td><xsl:value-of select="concat(year, '-', month, '-', day)"/></td>
                  <td><xsl:value-of select="concat(hour, ':', min)"/></td>
                  <td><xsl:value-of select="doc"/></td>
                  <td><xsl:value-of select="printer"/></td>
                  <xsl:if test="$servers"><td><xsl:value-of select="server"/></td></xsl:if>
                  <td align="right"><xsl:value-of select="pages"/></td>
                  <td align="right">
                    <xsl:call-template name="money"><xsl:with-param name="cents" select="cost"/></xsl:call-template>
                  </td>
                </tr>
              </xsl:for-each>
              <tr class="total" bgcolor="#eeeeee">
                <td colspan="{4 + $servers}"><b>Total</b></td>
                <td align="right"><b><xsl:value-of select="$pages"/></b></td>
                <td align="right">
                  <b><xsl:call-template name="money"><xsl:with-param name="cents" select="$cost"/></xsl:call-template></b>
                </td>
              </tr>
            </table>
          </xsl:when>
          <xsl:otherwise>
            <p>No jobs were recorded in this period.</p>
          </xsl:otherwise>
        </xsl:choose>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="money">
    <xsl:param name="cents"/>
    <xsl:value-of select="format-number($cents div 100, '#,##0.00')"/>
  </xsl:template>
</xsl:stylesheet>
